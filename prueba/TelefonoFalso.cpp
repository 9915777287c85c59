#include "prueba/TelefonoFalso.h"

#include <algorithm>

using captura::Estado;
using captura::Fecha;
using captura::Recordset;
using captura::Resultado;
using captura::Valor;

namespace {
template <class T>
T OCero(const Resultado<T>& r) {
  return r ? r.Dato() : T{};
}
}  // namespace

const std::vector<std::string>& TelefonoFalso::ColumnasTarifa() {
  static const std::vector<std::string> columnas = {"CodigosTelefonicos", "PrecioVenta",
                                                    "ProductoID", "MonedaId", "PrecioCosto"};
  return columnas;
}

void TelefonoFalso::AgregarFilaTarifa(std::string clave, Recordset::Fila fila) {
  tarifas_.emplace(std::move(clave), std::move(fila));
}

void TelefonoFalso::AgregarTarifa(const std::string& codigo, float venta, int32_t producto,
                                  int32_t moneda, float costo) {
  AgregarFilaTarifa(codigo, {Valor::Texto(codigo), Valor::Real(venta), Valor::Entero(producto),
                             Valor::Entero(moneda), Valor::Real(costo)});
}

void TelefonoFalso::AgregarHabitacion(std::string numero, int32_t reserva, int32_t habitacion) {
  habitaciones_[std::move(numero)] = {reserva, habitacion};
}

void TelefonoFalso::FallarTrasAplicar(const std::string& metodo, captura::Fallo fallo) {
  Fallar(metodo, std::move(fallo));
  aplicados_.insert(metodo);
}

void TelefonoFalso::Sanar(const std::string& metodo) {
  fallos_.erase(metodo);
  aplicados_.erase(metodo);
}

const captura::Fallo* TelefonoFalso::Llamar(const char* metodo) {
  if (Grabar) Orden.emplace_back(metodo);
  const auto it = fallos_.find(metodo);
  return it == fallos_.end() ? nullptr : &it->second;
}

Resultado<std::unique_ptr<Recordset>> TelefonoFalso::ListarTodo(
    const std::string& vDiscado) noexcept {
  if (Grabar) ListarTodos.push_back(vDiscado);
  if (auto* fallo = Llamar("ListarTodo")) return *fallo;
  auto filas = std::make_unique<Recordset>(ColumnasTarifa());
  for (auto it = tarifas_.lower_bound(vDiscado);
       it != tarifas_.end() && it->first.starts_with(vDiscado); ++it) {
    filas->AgregarFila(it->second);
  }
  return filas;
}

Resultado<float> TelefonoFalso::PrecioCostoLocal(const std::string& vDiscado, int32_t& vProducto,
                                                 float& vCosto, int32_t& vMonedaId) noexcept {
  if (Grabar) PreciosLocales.push_back({vDiscado});
  if (auto* fallo = Llamar("PrecioCostoLocal")) return *fallo;
  vProducto = 0;
  vCosto = 0;
  vMonedaId = 0;
  const auto it = tarifas_.find(vDiscado);
  if (it == tarifas_.end()) return 0.0f;
  const Recordset::Fila& fila = it->second;
  vProducto = OCero(fila[2].ALong());
  vMonedaId = OCero(fila[3].ALong());
  vCosto = OCero(fila[4].AFloat());
  return OCero(fila[1].AFloat());
}

Estado TelefonoFalso::ReservaHabitacion(int32_t& vReserva, int32_t& vHabitacion,
                                        const std::string& vNroHabitacion) noexcept {
  if (Grabar) Reservas.push_back({vNroHabitacion});
  if (auto* fallo = Llamar("ReservaHabitacion")) return *fallo;
  const auto it = habitaciones_.find(vNroHabitacion);
  vReserva = it == habitaciones_.end() ? 0 : it->second.first;
  vHabitacion = it == habitaciones_.end() ? 0 : it->second.second;
  return {};
}

Estado TelefonoFalso::CrearDetalle(int32_t vComandaId, int32_t vReservaId, int32_t vHabitacionId,
                                   int32_t vProductoId, float vPrecioUnitario, float vCantidad,
                                   const std::string& vComandaManual, int32_t vPuntoVentaId,
                                   int32_t vFacturable, uint8_t vPagoPor, uint8_t vEstado,
                                   const std::string& vTransaccionDocumento, float vIgv,
                                   float vServicio, const std::string& vDiscado, int32_t vMonedaId,
                                   float vTipoCambio, Fecha vFecha, Fecha vHora) noexcept {
  if (Grabar) {
    Detalles.push_back({vComandaId, vReservaId, vHabitacionId, vProductoId, vPrecioUnitario,
                        vCantidad, vComandaManual, vPuntoVentaId, vFacturable, vPagoPor, vEstado,
                        vTransaccionDocumento, vIgv, vServicio, vDiscado, vMonedaId, vTipoCambio,
                        vFecha, vHora});
  }
  auto* fallo = Llamar("CrearDetalle");
  if (Grabar && (!fallo || aplicados_.contains("CrearDetalle"))) {
    CargosGuardados.push_back(Detalles.back());
    if (AlGuardar) AlGuardar("CrearDetalle");
  }
  if (fallo) return *fallo;
  return {};
}

Estado TelefonoFalso::Crea(const std::string& vAnexo, const std::string& vDiscado, Fecha vFecha,
                           Fecha vHora, const std::string& vTiempo, const std::string& vCodigo,
                           int32_t vReservaId, int32_t vHabitacionId, float vPrecioVenta,
                           float vPrecioCosto, int32_t vProductodId, uint8_t vMonedaId,
                           float vTipoCambio) noexcept {
  if (Grabar) {
    Creas.push_back({vAnexo, vDiscado, vFecha, vHora, vTiempo, vCodigo, vReservaId, vHabitacionId,
                     vPrecioVenta, vPrecioCosto, vProductodId, vMonedaId, vTipoCambio});
  }
  auto* fallo = Llamar("Crea");
  if (Grabar && (!fallo || aplicados_.contains("Crea"))) {
    LlamadasGuardadas.push_back(Creas.back());
    if (AlGuardar) AlGuardar("Crea");
  }
  if (fallo) return *fallo;
  return {};
}

Estado TelefonoFalso::CreaLLamda(const std::string&, const std::string&, Fecha, Fecha) noexcept {
  if (auto* fallo = Llamar("CreaLLamda")) return *fallo;
  return {};
}

Resultado<int32_t> TelefonoFalso::ContarDetalles(const ArgsCrearDetalle& fila) noexcept {
  if (auto* fallo = Llamar("ContarDetalles")) return *fallo;
  return static_cast<int32_t>(std::count(CargosGuardados.begin(), CargosGuardados.end(), fila));
}

Resultado<int32_t> TelefonoFalso::ContarLlamadas(const ArgsCrea& fila) noexcept {
  if (auto* fallo = Llamar("ContarLlamadas")) return *fallo;
  return static_cast<int32_t>(std::count(LlamadasGuardadas.begin(), LlamadasGuardadas.end(), fila));
}

Estado TelefonoFalso::Asegurar() noexcept {
  if (auto f = fallos_.find("Asegurar"); f != fallos_.end()) return f->second;
  return {};
}
