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

  // How many rows of the kind vTipo are already stored, so that a posting
  // that may have been applied before it failed is not posted twice. A call
  // (kRegistroLlamada) is matched in telefonos by vAnexo, vDiscado, vFecha,
  // vHora and vTiempo; a charge (kRegistroCargo) in CuentasCorrientes by
  // vReservaId, vDiscado, vFecha and vHora. The values are written as Crea
  // and CrearDetalle write them.
  virtual Resultado<int32_t> ContarRegistrados(uint8_t vTipo, int32_t vReservaId,
                                               const std::string& vAnexo,
                                               const std::string& vDiscado, Fecha vFecha,
                                               Fecha vHora,
                                               const std::string& vTiempo) noexcept = 0;
};

// The kinds of row ContarRegistrados looks for.
inline constexpr uint8_t kRegistroLlamada = 0;
inline constexpr uint8_t kRegistroCargo = 1;

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
