#pragma once

#include "captura/_Telefono.h"

// Stands in for a Telefono that could not be created: every method fails
// with the creation's failure, so each step of a call is abandoned alone.
class TelefonoAusente : public captura::_Telefono {
 public:
  explicit TelefonoAusente(captura::Fallo fallo);

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
  captura::Resultado<int32_t> ContarDetalles(
      const captura::ArgsCrearDetalle& fila) noexcept override;
  captura::Resultado<int32_t> ContarLlamadas(const captura::ArgsCrea& fila) noexcept override;
  captura::Estado Asegurar() noexcept override;
  uint64_t Agrupar() noexcept override { return 0; }

 private:
  captura::Fallo fallo_;
};
