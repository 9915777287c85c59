#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "captura/Recordset.h"
#include "captura/_Telefono.h"
#include "llamadas/RegistroLlamada.h"
#include "llamadas/ResumenRegistro.h"

enum class ModoRegistro {
  Normal,
  // A call that waited: what it learned before is used, not looked up
  // again; a row that may have been posted is posted only when it is not
  // stored yet; the first failure of a transient kind ends the call, which
  // is then re-posted later.
  Reposicion
};

// Re-posting: whether a row that may have been posted before is stored
// already. The station's queue answers for identical calls waiting together.
struct ComprobarDudas {
  std::function<captura::Resultado<bool>(const captura::ArgsCrearDetalle&)> Cargo;
  std::function<captura::Resultado<bool>(const captura::ArgsCrea&)> Llamada;
};

// Prices one accepted call, posts its charge when the room is occupied and
// stores the call, all through the event's Telefono. Keeps the last tariff
// lookup (key and rows) between calls.
class RegistradorLlamadas {
 public:
  static constexpr float kTipoCambio = 3.5f;
  static constexpr int32_t kPuntoVenta = 6;
  static constexpr int16_t kSegundosGratis = 35;

  // Every step is guarded by itself: a failed step is abandoned, reported in
  // the summary, and the next one runs. A look-up that fails on a database
  // that does not answer ends the call instead: nothing is stored with the
  // values it did not learn, and the summary's Avance says what it did learn.
  // A reservation to be confirmed (see AvanceRegistro::Reserva) posts no
  // charge and stores the call without it.
  ResumenRegistro RegistrarLlamada(const RegistroLlamada& registro, captura::_Telefono& telefono,
                                   ModoRegistro modo = ModoRegistro::Normal,
                                   const AvanceRegistro& previo = {},
                                   const ComprobarDudas& dudas = {});

  // The charge and the call row a call posts with what it learned; nothing
  // when that is not known yet or there is nothing to post.
  static std::optional<captura::ArgsCrearDetalle> FilaCargo(const RegistroLlamada& r,
                                                            const AvanceRegistro& a);
  static std::optional<captura::ArgsCrea> FilaLlamada(const RegistroLlamada& r,
                                                      const AvanceRegistro& a);

  const std::string& CodigoBusqueda() const { return CodigoBusqueda_; }
  const captura::Recordset* rsTarifas() const { return rsTarifas_.get(); }

 private:
  void Tarifar(const RegistroLlamada& r, captura::_Telefono& t, AvanceRegistro::Tarifa& v,
               ResumenRegistro& s);
  void BuscarPrefijo(const std::string& discado, AvanceRegistro::Tarifa& v);
  static void BuscarReserva(const RegistroLlamada& r, captura::_Telefono& t,
                            AvanceRegistro::Habitacion& v, ResumenRegistro& s);
  static void ComprobarATiempo(const RegistroLlamada& r, captura::_Telefono& t,
                               const ComprobarDudas& dudas, ResumenRegistro& s);
  static void Cargar(const RegistroLlamada& r, captura::_Telefono& t, const ComprobarDudas& dudas,
                     ResumenRegistro& s);
  static void Guardar(const RegistroLlamada& r, captura::_Telefono& t, const ComprobarDudas& dudas,
                      ResumenRegistro& s);

  std::string CodigoBusqueda_;
  std::unique_ptr<captura::Recordset> rsTarifas_;
};
