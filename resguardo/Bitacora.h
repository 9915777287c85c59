#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "captura/Fallo.h"
#include "resguardo/LimiteAvisos.h"

// Writes what happens to kept call lines to the system log (syslog, ident
// "Sentrel", facility user; journald shows it): every failure with the line
// and the error's number and description, and every recovery; and what the
// operator should know of the station itself (start, stop, a silent line, a
// date the exchange's order cannot read). A dialled number never goes whole:
// the pending window is where the operator reads whole lines. What a peer or
// a flapping line can repeat is told at most once a minute per kind.
class Bitacora {
 public:
  // Receives each message with its syslog priority (LOG_ERR, ...).
  using Sumidero = std::function<void(int prioridad, const std::string& mensaje)>;

  // Without a sink the messages go to syslog.
  explicit Bitacora(Sumidero sumidero = {}, LimiteAvisos::Reloj reloj = {});

  // Every message also goes there (standard error), as the log has it.
  void Eco(std::ostream* salida) { eco_ = salida; }
  // Told each time a message is held back; Repasar is due at ProximoRepaso.
  void AlRetener(std::function<void()> aviso) { alRetener_ = std::move(aviso); }
  std::optional<LimiteAvisos::Instante> ProximoRepaso() const { return limite_.ProximoVencido(); }
  // Tells the messages held back whose minute is over.
  void Repasar();

  // A posting failed on a database that does not answer: kept for later.
  void Pendiente(std::string_view linea, const captura::Fallo& fallo, uint32_t intento);
  // A posting failed for good: kept aside, not retried.
  void Aparcada(std::string_view linea, const captura::Fallo& fallo);
  // Held back behind the lines already waiting.
  void EnEspera(std::string_view linea);
  // Received before an unexpected end and never completed.
  void Recobrada(std::string_view linea);
  // Posted after it had been kept.
  void Recuperada(std::string_view linea, uint32_t intentos);
  // The kept lines could not be written to their file.
  void ArchivoNoGuardado(const captura::Fallo& fallo);
  // Damage found in the queue file or the receive journal (the file as it
  // was is kept aside; the description says where).
  void ArchivoDanado(const captura::Fallo& fallo);
  // The receive journal could not be opened or written: received bytes are
  // only in memory until it works again.
  void DiarioNoGuardado(const captura::Fallo& fallo);
  // A parked line sent back to the queue by the operator.
  void Devuelta(std::string_view linea);
  // A call stored without its reservation, looked up too late to be sure of
  // the guest: the charge to the one found waits for the operator.
  void CargoAConfirmar(std::string_view linea, int32_t reserva);
  // The operator's answer for such a charge.
  void CargoConfirmado(std::string_view linea, int32_t reserva);
  void CargoDescartado(std::string_view linea);

  // The station started (with what it runs on) or stopped.
  void Inicio(std::string_view detalle);
  void Fin();
  // A call line whose date is no date in the order in force.
  void FechaIlegible(std::string_view linea, std::string_view orden);
  // A setting that cannot be used, and what is used instead.
  void AjusteInvalido(std::string_view clave, std::string_view valor, std::string_view usado);
  // The settings file could not be saved (the values stay in the dialog).
  void AjustesNoGuardados(const captura::Fallo& fallo);
  // No byte from the exchange for that long; data again after that long.
  void SinDatos(long minutos);
  void DatosDeNuevo(long minutos);

  // A call line held control bytes (line noise): posted with blanks for them.
  void LineaConControles(std::string_view linea);
  // A line begun before a gap in the received bytes (a lost line, a new
  // connection, a restart): dropped, never joined to what came after.
  void LineaCortada(std::string_view fragmento);
  // The exchange's line went away, and came back.
  void LineaPerdida(const std::string& puerto, const captura::Fallo& fallo);
  void LineaRecuperada(const std::string& puerto);
  // A connection to the listening station was refused (already limited), or taken.
  void ConexionRechazada(const std::string& texto);
  void ConexionAceptada(const std::string& texto);
  // No window can attach to the service.
  void SinEnlace(std::string_view motivo);
  // A window refused by, or cut from, the service's link (limited).
  void EnlaceRechazado(const std::string& texto);
  // The exchange's source stays closed until the settings are mended.
  void NoEscucha(std::string_view motivo);
  // The start ended before the station ran.
  void InicioFallido(std::string_view motivo);
  // A second start will not reach this station (it still ends untouched).
  void SinSegundoInicio(std::string_view motivo);

  // The line as readable UTF-8 text for the log: trailing blanks dropped,
  // control characters as "?", the extension, date, time and duration whole
  // and the dialled number with all but its first 4 digits as "*".
  static std::string TextoLinea(std::string_view linea);
  // The same, with the dialled number whole: for the operator's own window.
  static std::string TextoLineaEntera(std::string_view linea);
  // "error N (0xXXXXXXXX): description", the description cleaned of control
  // bytes and of whole numbers a driver may quote from the failed row.
  static std::string TextoFallo(const captura::Fallo& fallo);

 private:
  static std::string ConLinea(const std::string& texto, std::string_view linea);
  void Escribir(int prioridad, const std::string& mensaje);
  void EscribirLimitado(const char* tipo, int prioridad, std::string mensaje);

  Sumidero sumidero_;
  LimiteAvisos limite_;
  std::ostream* eco_ = nullptr;
  std::function<void()> alRetener_;
};
