#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "captura/_Telefono.h"

// A Telefono for tests and benchmarks: records every call with its
// arguments, serves tariff rows by code prefix and rooms by number, and
// fails the methods it is told to.
class TelefonoFalso : public captura::_Telefono {
 public:
  struct ArgsPrecioCostoLocal {
    std::string vDiscado;
  };
  struct ArgsReservaHabitacion {
    std::string vNroHabitacion;
  };
  using ArgsCrearDetalle = captura::ArgsCrearDetalle;
  using ArgsCrea = captura::ArgsCrea;

  static const std::vector<std::string>& ColumnasTarifa();

  // A tariff row served to every ListarTodo whose key begins `clave`.
  void AgregarFilaTarifa(std::string clave, captura::Recordset::Fila fila);
  void AgregarTarifa(const std::string& codigo, float venta, int32_t producto, int32_t moneda,
                     float costo);
  void AgregarHabitacion(std::string numero, int32_t reserva, int32_t habitacion);
  // The named method fails with this failure until told otherwise.
  void Fallar(const std::string& metodo, captura::Fallo fallo) { fallos_[metodo] = fallo; }
  // As Fallar, but the posting is stored before the failure comes back (a
  // time-out after the server committed).
  void FallarTrasAplicar(const std::string& metodo, captura::Fallo fallo);
  // The method works again.
  void Sanar(const std::string& metodo);

  // Method names in call order, and the arguments of each method's calls.
  std::vector<std::string> Orden;
  std::vector<std::string> ListarTodos;
  std::vector<ArgsPrecioCostoLocal> PreciosLocales;
  std::vector<ArgsReservaHabitacion> Reservas;
  std::vector<ArgsCrearDetalle> Detalles;
  std::vector<ArgsCrea> Creas;
  bool Grabar = true;  // off in benchmarks

  captura::Resultado<std::unique_ptr<captura::Recordset>> ListarTodo(
      const std::string& vDiscado) noexcept override;
  captura::Resultado<float> PrecioCostoLocal(const std::string& vDiscado, int32_t& vProducto,
                                             float& vCosto, int32_t& vMonedaId) noexcept override;
  captura::Estado ReservaHabitacion(int32_t& vReserva, int32_t& vHabitacion,
                                    const std::string& vNroHabitacion) noexcept override;
  captura::Estado CrearDetalle(int32_t vComandaId, int32_t vReservaId, int32_t vHabitacionId,
                               int32_t vProductoId, float vPrecioUnitario, float vCantidad,
                               const std::string& vComandaManual, int32_t vPuntoVentaId,
                               int32_t vFacturable, uint8_t vPagoPor, uint8_t vEstado,
                               const std::string& vTransaccionDocumento, float vIgv,
                               float vServicio, const std::string& vDiscado, int32_t vMonedaId,
                               float vTipoCambio, captura::Fecha vFecha,
                               captura::Fecha vHora) noexcept override;
  captura::Estado Crea(const std::string& vAnexo, const std::string& vDiscado,
                       captura::Fecha vFecha, captura::Fecha vHora, const std::string& vTiempo,
                       const std::string& vCodigo, int32_t vReservaId, int32_t vHabitacionId,
                       float vPrecioVenta, float vPrecioCosto, int32_t vProductodId,
                       uint8_t vMonedaId, float vTipoCambio) noexcept override;
  captura::Estado CreaLLamda(const std::string& vAnexo, const std::string& vDiscado,
                             captura::Fecha vFecha, captura::Fecha vHora) noexcept override;
  // Count the stored postings (those Crea and CrearDetalle did not fail).
  captura::Resultado<int32_t> ContarDetalles(const ArgsCrearDetalle& fila) noexcept override;
  captura::Resultado<int32_t> ContarLlamadas(const ArgsCrea& fila) noexcept override;
  // Not recorded in Orden: it closes every receive event.
  captura::Estado Asegurar() noexcept override;
  // Not recorded in Orden either; Perdidas is what it answers.
  uint64_t Agrupar() noexcept override { return Perdidas; }

  // Transactions lost, as the component would count them.
  uint64_t Perdidas = 0;
  // Called as soon as a posting stands stored, with its method's name: the
  // moment a kill would leave the database ahead of the station's files.
  std::function<void(const std::string& metodo)> AlGuardar;

  // Postings that stand stored.
  std::vector<ArgsCrearDetalle> CargosGuardados;
  std::vector<ArgsCrea> LlamadasGuardadas;

 private:
  // Records the call; the failure set for the method, if any.
  const captura::Fallo* Llamar(const char* metodo);

  std::multimap<std::string, captura::Recordset::Fila> tarifas_;  // by key, in insertion order
  std::map<std::string, std::pair<int32_t, int32_t>> habitaciones_;
  std::map<std::string, captura::Fallo> fallos_;
  std::set<std::string> aplicados_;  // methods that store before failing
};
