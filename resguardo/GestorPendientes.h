#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "captura/_Telefono.h"
#include "llamadas/ReceptorLlamadas.h"
#include "resguardo/Bitacora.h"
#include "resguardo/ColaPendientes.h"

// Keeps every call line whose posting failed until it is stored. Plugged
// into the receive handler as its line handler: while nothing waits, each
// line is processed as always; a line that fails on a database that does not
// answer is kept as pending, one that fails for good is kept aside (parked)
// and never retried. While lines wait, new ones queue behind them untried, so
// a database that is down costs one attempt per back-off step, not one per
// call. Pending lines are re-posted oldest first, each row only when it is
// not stored yet. A line whose room was not looked up within a limit after
// it arrived may find the room's next guest: its call is stored without the
// reservation, and its charge is parked until the operator posts it to the
// reservation found or drops it.
class GestorPendientes {
 public:
  using Instante = std::chrono::steady_clock::time_point;
  using RelojMonotono = std::function<Instante()>;
  using RelojCivil = std::function<std::chrono::system_clock::time_point()>;
  using Aviso = std::function<void()>;

  static constexpr std::chrono::milliseconds kEsperaInicial = std::chrono::seconds(2);
  static constexpr std::chrono::milliseconds kEsperaMaxima = std::chrono::minutes(5);
  // Lines re-posted in one pass at most, so the window keeps answering; the
  // next pass is due at once.
  static constexpr std::size_t kLineasPorPasada = 200;
  // Minutes after a line's arrival within which its room's reservation
  // takes the charge by itself, unless set otherwise; 0 is no limit.
  static constexpr std::chrono::minutes kCargoAutomatico{30};

  GestorPendientes(ReceptorLlamadas& receptor, ColaPendientes& cola, Bitacora& bitacora,
                   ReceptorLlamadas::CrearTelefono crearTelefono,
                   RelojMonotono reloj = std::chrono::steady_clock::now,
                   RelojCivil relojCivil = std::chrono::system_clock::now);

  void LimiteCargoAutomatico(std::chrono::minutes limite) { limite_ = limite; }

  // Becomes the receive handler's line handler and its flush.
  void Conectar();

  // One framed line of a receive event, with the event's Telefono.
  void Manejar(std::string_view linea, captura::_Telefono& telefono);

  // Commits and flushes the rows of the lines handled since the last time.
  // When a transaction with rows was lost meanwhile, those lines wait to be
  // re-posted, each row only when it is not stored: true then too, as the
  // queue holds them.
  bool Asegurar(captura::_Telefono& telefono);

  // Re-posts the pending lines when an attempt is due (nothing otherwise),
  // oldest first, until one fails on the database. The caller's timer drives
  // it; ProximoIntento says when.
  void Reintentar();
  void Reintentar(captura::_Telefono& telefono);

  // A line received before a crash and never completed: it may have been
  // posted, so it takes the checked re-post path, behind what waits already.
  // It arrived at `llegada` at the latest (now when that is not known).
  void EncolarRecuperada(std::string_view linea,
                         std::optional<std::chrono::system_clock::time_point> llegada = {});

  // Sends a parked line back to the queue (the operator fixed what made it
  // fail); it is re-posted with the pending ones. False when no parked line
  // has that Id, or when its charge waits for the operator instead.
  bool Devolver(uint64_t id);

  // The operator's answer for a parked charge whose reservation is to be
  // confirmed: posted to the reservation shown, or dropped. Either way the
  // call stays stored. False when no such charge has that Id.
  bool Cargar(uint64_t id);
  bool DescartarCargo(uint64_t id);

  // When the next attempt is due; nothing when no line is pending.
  std::optional<Instante> ProximoIntento() const;

  std::size_t Pendientes() const { return cola_.Pendientes(); }
  std::size_t Aparcadas() const { return cola_.Aparcadas(); }
  const ColaPendientes& Cola() const { return cola_; }

  // Told whenever the counts may have changed.
  void AlCambiar(Aviso aviso) { alCambiar_ = std::move(aviso); }

 private:
  void Guardar(std::string_view linea, const ResumenRegistro& resumen, int64_t llegada);
  void Esperar(std::string_view linea, AvanceRegistro avance, int64_t llegada);
  bool Reponer(LineaPendiente linea, captura::_Telefono& telefono, std::vector<uint64_t>& hechas);
  bool Tarde(const LineaPendiente& linea) const;
  void AnotarEnDuda(const std::vector<uint64_t>& ids);
  bool ResponderCargo(uint64_t id, AvanceRegistro::Reserva respuesta);
  void Reencolar(LineaPendiente linea);
  int64_t Ahora() const;
  template <class Fila>
  captura::Resultado<bool> Resolver(const LineaPendiente& linea, const Fila& fila,
                                    const captura::Resultado<int32_t>& cuenta,
                                    AvanceRegistro::Paso AvanceRegistro::*paso,
                                    std::optional<Fila> (*filaDe)(const RegistroLlamada&,
                                                                  const AvanceRegistro&));
  void VigilarArchivo();
  void Avisar();

  ReceptorLlamadas& receptor_;
  ColaPendientes& cola_;
  Bitacora& bitacora_;
  ReceptorLlamadas::CrearTelefono crearTelefono_;
  RelojMonotono reloj_;
  RelojCivil relojCivil_;
  std::chrono::minutes limite_ = kCargoAutomatico;
  Aviso alCambiar_;
  Instante proximo_;
  std::chrono::milliseconds espera_ = kEsperaInicial;
  bool archivoFallido_ = false;
  // Lines posted whose rows are not known durable yet, with what they did,
  // and the transactions lost when the first of them was handled.
  struct SinAsegurar {
    std::string Linea;
    AvanceRegistro Avance;
    int64_t Llegada;
  };
  std::vector<SinAsegurar> sinAsegurar_;
  uint64_t perdidas_ = 0;
};
