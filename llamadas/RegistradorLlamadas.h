#pragma once

#include <memory>
#include <string>

#include "captura/Recordset.h"
#include "captura/_Telefono.h"
#include "llamadas/RegistroLlamada.h"
#include "llamadas/ResumenRegistro.h"

enum class ModoRegistro {
  Normal,
  // A call that may have been posted before (its posting failed midway, or
  // it was received before a crash): each row is posted only when
  // ContarRegistrados does not find it stored, and the first failure of a
  // transient kind ends the call, which is then re-posted whole later.
  Reposicion
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
  // the summary, and the next one runs.
  ResumenRegistro RegistrarLlamada(const RegistroLlamada& registro, captura::_Telefono& telefono,
                                   ModoRegistro modo = ModoRegistro::Normal);

  const std::string& CodigoBusqueda() const { return CodigoBusqueda_; }
  const captura::Recordset* rsTarifas() const { return rsTarifas_.get(); }

 private:
  struct Valores;

  void Tarifar(const RegistroLlamada& r, captura::_Telefono& t, Valores& v, ResumenRegistro& s);
  void BuscarPrefijo(const std::string& discado, Valores& v);
  static void Cuantificar(const RegistroLlamada& r, Valores& v);
  static void BuscarReserva(const RegistroLlamada& r, captura::_Telefono& t, Valores& v,
                            ResumenRegistro& s);
  static void Cargar(const RegistroLlamada& r, captura::_Telefono& t, const Valores& v,
                     ModoRegistro modo, ResumenRegistro& s);
  static void Guardar(const RegistroLlamada& r, captura::_Telefono& t, const Valores& v,
                      ModoRegistro modo, ResumenRegistro& s);

  std::string CodigoBusqueda_;
  std::unique_ptr<captura::Recordset> rsTarifas_;
};
