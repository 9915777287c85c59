#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "ConexionCompartida.h"
#include "InsercionSql.h"
#include "captura/_Telefono.h"

namespace captura {

class Conexion;

// The component's one class: prices calls from the tariff rows, finds the
// room of an extension and posts charges and calls, one statement a method.
class Telefono final : public _Telefono {
 public:
  // The fixed connection string: the data source and the equivalents of
  // the hotel's SQL Server keywords; the login is the process's identity.
  static constexpr char kCadenaConexion[] =
      "DSN=Tavro_Datos;Trusted_Connection=Yes;Encrypt=No;Packet Size=4096;WSID=;"
      "AutoTranslate=Yes";

  Telefono() noexcept;
  ~Telefono() override;
  Telefono(const Telefono&) = delete;
  Telefono& operator=(const Telefono&) = delete;

  // Objects of the library still alive.
  static int Vivos() noexcept;

  Resultado<std::unique_ptr<Recordset>> ListarTodo(const std::string& vDiscado) noexcept override;

  Resultado<float> PrecioCostoLocal(const std::string& vDiscado, int32_t& vProducto, float& vCosto,
                                    int32_t& vMonedaId) noexcept override;

  Estado ReservaHabitacion(int32_t& vReserva, int32_t& vHabitacion,
                           const std::string& vNroHabitacion) noexcept override;

  Estado CrearDetalle(int32_t vComandaId, int32_t vReservaId, int32_t vHabitacionId,
                      int32_t vProductoId, float vPrecioUnitario, float vCantidad,
                      const std::string& vComandaManual, int32_t vPuntoVentaId, int32_t vFacturable,
                      uint8_t vPagoPor, uint8_t vEstado, const std::string& vTransaccionDocumento,
                      float vIgv, float vServicio, const std::string& vDiscado, int32_t vMonedaId,
                      float vTipoCambio, Fecha vFecha, Fecha vHora) noexcept override;

  Estado Crea(const std::string& vAnexo, const std::string& vDiscado, Fecha vFecha, Fecha vHora,
              const std::string& vTiempo, const std::string& vCodigo, int32_t vReservaId,
              int32_t vHabitacionId, float vPrecioVenta, float vPrecioCosto, int32_t vProductodId,
              uint8_t vMonedaId, float vTipoCambio) noexcept override;

  Estado CreaLLamda(const std::string& vAnexo, const std::string& vDiscado, Fecha vFecha,
                    Fecha vHora) noexcept override;

  Resultado<int32_t> ContarDetalles(const ArgsCrearDetalle& fila) noexcept override;
  Resultado<int32_t> ContarLlamadas(const ArgsCrea& fila) noexcept override;
  Estado Asegurar() noexcept override;
  uint64_t Agrupar() noexcept override;

 private:
  using Lectura = ConexionCompartida::Lectura;
  // Opens a lookup: the whole result, disconnected. A lookup of tariffs or
  // rooms may be answered with the rows the open transaction read already.
  static Resultado<std::unique_ptr<Recordset>> Consultar(const std::string& sql, Lectura lectura);
  // Posts one row (on a server, maybe held back until the commit).
  static Estado Ejecutar(const Resultado<std::string>& sql);
  // Runs a count of rows.
  static Resultado<int32_t> Contar(const Resultado<std::string>& sql);
  static InsercionSql FilaDetalle(const ArgsCrearDetalle& a);
  static InsercionSql FilaLlamada(const ArgsCrea& a);

  static std::atomic<int> vivos_;
};

}  // namespace captura
