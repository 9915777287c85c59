#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "captura/_Telefono.h"
#include "llamadas/EnmarcadorLineas.h"
#include "llamadas/PuertoCaptura.h"
#include "llamadas/RegistradorLlamadas.h"
#include "llamadas/ResumenRegistro.h"
#include "llamadas/VentanaCaptura.h"

// The receive side of the station: owns the burst, reads what the exchange
// sent, frames it into call lines and hands every call to RegistrarLlamada
// with one Telefono per receive event. A burst is a state machine driven by
// the owner's timers: inactive; waiting half a second at its start (a
// single-shot timer, whose end calls FinEspera) with the receive notices
// held; active, the one-second tick (TimerCheck_Timer) counting quiet ticks
// until TiempoConexion ends it, or the next receive event closing it when
// stale.
class ReceptorLlamadas {
 public:
  using CrearTelefono = std::function<captura::Resultado<std::unique_ptr<captura::_Telefono>>()>;
  // Handles one framed line with the event's Telefono (ProcesarLinea unless replaced).
  using ManejarLinea = std::function<void(std::string_view linea, captura::_Telefono&)>;
  // Told, once the lines of a receive event have been dealt with and the
  // database holds their rows durably, of the stream position right after
  // the event's last carriage return: everything before it is done.
  using AlCompletar = std::function<void(uint64_t posicion)>;
  // Makes the rows of the lines handled so far durable (commits the event's
  // transaction); true when every one of those lines is safe: its rows
  // durable, or the line kept to be posted again.
  using AsegurarLineas = std::function<bool(captura::_Telefono&)>;
  // Told of a call line whose date cannot be read in the order in force.
  using AlFechaIlegible = std::function<void(std::string_view linea)>;
  // Told of a call line, as received, that held control bytes; and of a
  // line begun before a gap in the received bytes, dropped there.
  using AvisoLinea = std::function<void(std::string_view linea)>;

  static constexpr char kSufijoActivo[] = "  : Activo.";
  static constexpr char kSufijoInactivo[] = "   : Inactivo.";
  static constexpr char kSufijoEsperando[] = "  : Esperando el tiempo de termino del envio.";
  static constexpr char kSufijoFinRafaga[] = "    : Inactivo.";
  static constexpr char kSufijoPerdida[] = "  : Sin conexion, se reintenta.";
  static constexpr std::chrono::milliseconds kEsperaInicio{500};
  // A header block is read from this character on (1-based).
  static constexpr std::size_t kInicioTrasCabecera = 330;
  // The text pane shows at most this much of an event's text, its end: a
  // pane laid out with megabytes would hold the window for minutes.
  static constexpr std::size_t kMaximoLlegada = 64 * 1024;

  // A Telefono from the factory, or, when it cannot create one, a stand-in
  // that fails every step with the creation's failure.
  static std::unique_ptr<captura::_Telefono> CrearTelefonoOAusente(const CrearTelefono& crear);

  // "Puerto COM " + port number + suffix.
  static std::string TextoEstado(int16_t puerto, std::string_view sufijo);
  // The same, or the network source's name and the suffix.
  static std::string TextoEstado(const EstadoCaptura& estado, std::string_view sufijo);

  ReceptorLlamadas(VentanaCaptura& ventana, PuertoCaptura& puerto, CrearTelefono crearTelefono);

  // Comm1's communication event. One raised during the wait at a burst's
  // start is handled after the wait, in order.
  void Comm1_OnComm();
  // The wait at the burst's start is over: the burst is active, and what
  // arrived is read.
  void FinEspera();
  bool EnEspera() const { return enEspera_; }
  // The one-second tick while a burst is active.
  void TimerCheck_Timer();

  // One framed 80-character line: parsed, tested and, when it is a call,
  // priced and posted. Nothing when the line is not a call.
  std::optional<ResumenRegistro> ProcesarLinea(std::string_view linea, captura::_Telefono& telefono,
                                               ModoRegistro modo = ModoRegistro::Normal,
                                               const AvanceRegistro& previo = {},
                                               const ComprobarDudas& dudas = {});

  // The order of the exchange's dates; the locale's when not set.
  void OrdenFecha(std::optional<captura::Regional::Orden> orden) { ordenFecha_ = orden; }
  std::optional<captura::Regional::Orden> OrdenFecha() const { return ordenFecha_; }

  void ManejarLineas(ManejarLinea manejar) { manejarLinea_ = std::move(manejar); }
  void AlCompletarLinea(AlCompletar aviso) { alCompletar_ = std::move(aviso); }
  // Without it the rows count as durable when Asegurar succeeds and no
  // transaction was lost meanwhile.
  void AsegurarCon(AsegurarLineas asegurar) { asegurar_ = std::move(asegurar); }
  // At most once per burst, with the first such line: a wrong date order
  // shows on the first burst without flooding the log.
  void AvisarFechaIlegible(AlFechaIlegible aviso) { alFechaIlegible_ = std::move(aviso); }
  void AlQuitarControles(AvisoLinea aviso) { alQuitarControles_ = std::move(aviso); }
  // Only for a dropped line that could have been a call (enough printable
  // characters), so the operator can look for the call that was lost.
  void AlCortarLinea(AvisoLinea aviso) { alCortarLinea_ = std::move(aviso); }

  // Frames a stretch of text received before a restart and never completed
  // (no header rule, no burst state, no display), apart from any text framed
  // before. Its end is carried only into bytes that continue it.
  void ProcesarRecuperado(std::string_view texto, uint64_t posicion);

  const RegistradorLlamadas& Registrador() const { return registrador_; }
  // The line begun and not ended yet.
  std::string_view Pendiente() const { return enmarcador_.Empezada(); }

 private:
  void AtenderEvento();
  void Leer();
  void CerrarRafagaVencida();
  // A burst's suffix, unless the line is lost.
  void MostrarRafaga(std::string_view sufijo);
  void AbrirRafaga();
  std::unique_ptr<captura::_Telefono> CrearTelefonoDelEvento();
  static std::string_view TextoDeTrabajo(std::string_view recibido);
  void Seguir(uint64_t posicion);
  void Cortar();
  void Enmarcar(std::string_view trabajo, uint64_t posicion);
  void VigilarFecha(const RegistroLlamada& registro, std::string_view linea);
  void Manejar(std::string_view recibida, captura::_Telefono& telefono);

  VentanaCaptura& ventana_;
  PuertoCaptura& puerto_;
  CrearTelefono crearTelefono_;
  ManejarLinea manejarLinea_;
  AlCompletar alCompletar_;
  AsegurarLineas asegurar_;
  AlFechaIlegible alFechaIlegible_;
  std::optional<captura::Regional::Orden> ordenFecha_;
  bool fechaAvisada_ = false;  // in this burst
  AvisoLinea alQuitarControles_;
  AvisoLinea alCortarLinea_;
  RegistradorLlamadas registrador_;  // CodigoBusqueda and rsTarifas
  EnmarcadorLineas enmarcador_;      // the text carried between events
  // Stream position right after the last bytes framed; carried text goes
  // on only into bytes that begin there.
  std::optional<uint64_t> finEnmarcado_;
  bool enEspera_ = false;       // the wait at a burst's start
  bool avisoEnEspera_ = false;  // a receive event came during it
};
