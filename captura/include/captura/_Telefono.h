#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "captura/Recordset.h"
#include "captura/Resultado.h"

namespace captura {

// Automation date: days since 1899-12-30, the fraction is the time of day.
using Fecha = double;

// The one class identifier by which the program creates a Telefono.
inline constexpr char kClaseTelefono[] = "{5E0C3A71-2B9D-4F86-A1C4-7D3B90E2F615}";

struct ArgsCrearDetalle;
struct ArgsCrea;

// The contract between the program and the component libcaptura.so. Methods
// in slot order. Text arguments are UTF-8; an argument taken by reference is
// in/out and written by the method. No method throws: a failure comes back
// as a value.
class _Telefono {
 public:
  virtual ~_Telefono() = default;

  virtual Resultado<std::unique_ptr<Recordset>> ListarTodo(
      const std::string& vDiscado) noexcept = 0;

  virtual Resultado<float> PrecioCostoLocal(const std::string& vDiscado, int32_t& vProducto,
                                            float& vCosto, int32_t& vMonedaId) noexcept = 0;

  virtual Estado ReservaHabitacion(int32_t& vReserva, int32_t& vHabitacion,
                                   const std::string& vNroHabitacion) noexcept = 0;

  virtual Estado CrearDetalle(int32_t vComandaId, int32_t vReservaId, int32_t vHabitacionId,
                              int32_t vProductoId, float vPrecioUnitario, float vCantidad,
                              const std::string& vComandaManual, int32_t vPuntoVentaId,
                              int32_t vFacturable, uint8_t vPagoPor, uint8_t vEstado,
                              const std::string& vTransaccionDocumento, float vIgv, float vServicio,
                              const std::string& vDiscado, int32_t vMonedaId, float vTipoCambio,
                              Fecha vFecha, Fecha vHora) noexcept = 0;

  virtual Estado Crea(const std::string& vAnexo, const std::string& vDiscado, Fecha vFecha,
                      Fecha vHora, const std::string& vTiempo, const std::string& vCodigo,
                      int32_t vReservaId, int32_t vHabitacionId, float vPrecioVenta,
                      float vPrecioCosto, int32_t vProductodId, uint8_t vMonedaId,
                      float vTipoCambio) noexcept = 0;

  virtual Estado CreaLLamda(const std::string& vAnexo, const std::string& vDiscado, Fecha vFecha,
                            Fecha vHora) noexcept = 0;

  // How many rows equal to the one CrearDetalle (Crea) writes with these
  // arguments are stored already, compared on every column it writes, so
  // that a posting that may have been applied before it failed is not posted
  // twice, and two real calls alike are both posted.
  virtual Resultado<int32_t> ContarDetalles(const ArgsCrearDetalle& fila) noexcept = 0;
  virtual Resultado<int32_t> ContarLlamadas(const ArgsCrea& fila) noexcept = 0;

  // Makes every row this process has posted survive a power cut (a database
  // file that commits without waiting for the disk is flushed). The caller
  // takes its input as done only once this succeeds.
  virtual Estado Asegurar() noexcept = 0;

  // From now on the rows posted on a server database go in one transaction
  // until Asegurar commits it; a posting that succeeds may only have been
  // held back, so a row the server rejects can fail the commit instead of
  // its own posting. Returns how many transactions holding rows
  // were lost so far (rolled back after a failure, or a commit whose outcome
  // is unknown): a caller that sees the number change after it posted takes
  // none of its rows not yet committed as stored, even after an Asegurar that
  // succeeds.
  virtual uint64_t Agrupar() noexcept = 0;
};

// The arguments of one CrearDetalle, in its order.
struct ArgsCrearDetalle {
  int32_t vComandaId = 0, vReservaId = 0, vHabitacionId = 0, vProductoId = 0;
  float vPrecioUnitario = 0, vCantidad = 0;
  std::string vComandaManual;
  int32_t vPuntoVentaId = 0, vFacturable = 0;
  uint8_t vPagoPor = 0, vEstado = 0;
  std::string vTransaccionDocumento;
  float vIgv = 0, vServicio = 0;
  std::string vDiscado;
  int32_t vMonedaId = 0;
  float vTipoCambio = 0;
  Fecha vFecha = 0, vHora = 0;

  bool operator==(const ArgsCrearDetalle&) const = default;
};

// The arguments of one Crea, in its order.
struct ArgsCrea {
  std::string vAnexo, vDiscado;
  Fecha vFecha = 0, vHora = 0;
  std::string vTiempo, vCodigo;
  int32_t vReservaId = 0, vHabitacionId = 0;
  float vPrecioVenta = 0, vPrecioCosto = 0;
  int32_t vProductodId = 0;
  uint8_t vMonedaId = 0;
  float vTipoCambio = 0;

  bool operator==(const ArgsCrea&) const = default;
};

// One posting made from its arguments.
inline Estado CrearDetalle(_Telefono& t, const ArgsCrearDetalle& a) {
  return t.CrearDetalle(a.vComandaId, a.vReservaId, a.vHabitacionId, a.vProductoId,
                        a.vPrecioUnitario, a.vCantidad, a.vComandaManual, a.vPuntoVentaId,
                        a.vFacturable, a.vPagoPor, a.vEstado, a.vTransaccionDocumento, a.vIgv,
                        a.vServicio, a.vDiscado, a.vMonedaId, a.vTipoCambio, a.vFecha, a.vHora);
}
inline Estado Crea(_Telefono& t, const ArgsCrea& a) {
  return t.Crea(a.vAnexo, a.vDiscado, a.vFecha, a.vHora, a.vTiempo, a.vCodigo, a.vReservaId,
                a.vHabitacionId, a.vPrecioVenta, a.vPrecioCosto, a.vProductodId, a.vMonedaId,
                a.vTipoCambio);
}

// Entry points exported by libcaptura.so with C linkage (looked up by name).
//
// int32_t CapturaCrearObjeto(const char* clase, captura::_Telefono** objeto);
//   Hands out a new object of the class named by its identifier; 0 on
//   success, kClaseNoDisponible for an unknown identifier. The caller owns
//   the object and deletes it.
// int32_t CapturaPuedeDescargar();
//   0 when no object of the library lives any more, 1 otherwise.
inline constexpr char kSimboloCrearObjeto[] = "CapturaCrearObjeto";
inline constexpr char kSimboloPuedeDescargar[] = "CapturaPuedeDescargar";
inline constexpr int32_t kClaseNoDisponible = static_cast<int32_t>(0x80040111);
using FuncionCrearObjeto = int32_t (*)(const char* clase, _Telefono** objeto);
using FuncionPuedeDescargar = int32_t (*)();

}  // namespace captura
