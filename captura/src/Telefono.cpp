#include "Telefono.h"

#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "Conexion.h"
#include "ConexionCompartida.h"
#include "InsercionSql.h"
#include "TextoSql.h"

namespace captura {
namespace {

Resultado<int32_t> LeerLong(const Recordset& rs, std::string_view campo) {
  auto v = rs.Campo(campo);
  if (!v) return v.Falla();
  return v.Dato().ALong();
}

Resultado<float> LeerFloat(const Recordset& rs, std::string_view campo) {
  auto v = rs.Campo(campo);
  if (!v) return v.Falla();
  return v.Dato().AFloat();
}

// A cost held as NULL or as the empty text reads as 0.
Resultado<float> LeerCosto(const Recordset& rs, std::string_view campo) {
  auto v = rs.Campo(campo);
  if (!v) return v.Falla();
  if (v.Dato().EsNulo() || v.Dato() == Valor::Texto("")) return 0.0f;
  return v.Dato().AFloat();
}

}  // namespace

std::atomic<int> Telefono::vivos_{0};

Telefono::Telefono() noexcept { ++vivos_; }

Telefono::~Telefono() { --vivos_; }

int Telefono::Vivos() noexcept { return vivos_.load(); }

Resultado<std::unique_ptr<Recordset>> Telefono::Consultar(const std::string& sql, Lectura lectura) {
  return ConexionCompartida::Consultar(kCadenaConexion, sql, lectura);
}

Estado Telefono::Ejecutar(const Resultado<std::string>& sql) {
  if (!sql) return sql.Falla();
  return ConexionCompartida::Postear(kCadenaConexion, sql.Dato());
}

Resultado<std::unique_ptr<Recordset>> Telefono::ListarTodo(const std::string& vDiscado) noexcept {
  return Consultar(
      "Select PrecioVenta,codigosTelefonicos,ProductoId,preciocosto,MonedaID From Productos "
      "Where CodigosTelefonicos like '" +
          TextoSql::Escapar(vDiscado) + "%';",
      Lectura::Ajenas);
}

Resultado<float> Telefono::PrecioCostoLocal(const std::string& vDiscado, int32_t& vProducto,
                                            float& vCosto, int32_t& vMonedaId) noexcept {
  auto consulta = Consultar(
      "Select PrecioVenta,productoID,preciocosto,monedaID From Productos Where "
      "CodigosTelefonicos = " +
          TextoSql::Texto(vDiscado) + ";",
      Lectura::Ajenas);
  if (!consulta) return consulta.Falla();
  const Recordset& rs = *consulta.Dato();
  if (rs.EOF_() || rs.BOF()) {
    vProducto = 0;
    vCosto = 0;
    vMonedaId = 0;
    return 0.0f;
  }
  // Written in this order: a failure midway keeps the earlier writes.
  auto venta = LeerFloat(rs, "PrecioVenta");
  if (!venta) return venta.Falla();
  auto producto = LeerLong(rs, "productoid");
  if (!producto) return producto.Falla();
  vProducto = producto.Dato();
  auto costo = LeerCosto(rs, "PrecioCosto");
  if (!costo) return costo.Falla();
  vCosto = costo.Dato();
  auto moneda = LeerLong(rs, "MonedaId");
  if (!moneda) return moneda.Falla();
  vMonedaId = moneda.Dato();
  return venta.Dato();
}

Estado Telefono::ReservaHabitacion(int32_t& vReserva, int32_t& vHabitacion,
                                   const std::string& vNroHabitacion) noexcept {
  auto consulta = Consultar("Select ReservaId,HabitacionId From Habitaciones Where NroHabitacion=" +
                                TextoSql::Texto(vNroHabitacion) + ";",
                            Lectura::Ajenas);
  if (!consulta) return consulta.Falla();
  const Recordset& rs = *consulta.Dato();
  if (rs.EOF_() || rs.BOF()) {
    vReserva = 0;
    vHabitacion = 0;
    return {};
  }
  auto reserva = LeerLong(rs, "ReservaId");
  if (!reserva) return reserva.Falla();
  vReserva = reserva.Dato();
  auto habitacion = LeerLong(rs, "HabitacionId");
  if (!habitacion) return habitacion.Falla();
  vHabitacion = habitacion.Dato();
  return {};
}

// The row CrearDetalle writes.
InsercionSql Telefono::FilaDetalle(const ArgsCrearDetalle& a) {
  const auto& [vComandaId, vReservaId, vHabitacionId, vProductoId, vPrecioUnitario, vCantidad,
               vComandaManual, vPuntoVentaId, vFacturable, vPagoPor, vEstado, vTransaccionDocumento,
               vIgv, vServicio, vDiscado, vMonedaId, vTipoCambio, vFecha, vHora] = a;
  return InsercionSql(
             "INSERT INTO CuentasCorrientes(ComandaId,ReservaId,HabitacionId, "
             "ProductoID,PrecioUnitario,Cantidad,"
             "Estado,TransacciondocumentoId,fecha,hora,puntoventaId,"
             "comandamanual,Facturable,PagoPor,Igv,Servicio,Discado,automatico,MonedaId,TipoCambio)"
             " "
             "VALUES(")
      .Entero(vComandaId)
      .Entero(vReservaId)
      .Entero(vHabitacionId)
      .Entero(vProductoId)
      .Float(vPrecioUnitario)
      .Float(vCantidad)
      .Entero(vEstado)
      .Texto(vTransaccionDocumento)
      .Fecha(vFecha)
      .Hora(vHora)
      .Entero(vPuntoVentaId)
      .Texto(vComandaManual)
      .Entero(vFacturable)
      .Entero(vPagoPor)
      .Float(vIgv)
      .Float(vServicio)
      .Texto(vDiscado)
      .Entero(0)  // automatico
      .Entero(vMonedaId)
      .Float(vTipoCambio);
}

// The row Crea writes.
InsercionSql Telefono::FilaLlamada(const ArgsCrea& a) {
  const auto& [vAnexo, vDiscado, vFecha, vHora, vTiempo, vCodigo, vReservaId, vHabitacionId,
               vPrecioVenta, vPrecioCosto, vProductodId, vMonedaId, vTipoCambio] = a;
  return InsercionSql(
             "INSERT INTO telefonos(Anexo,Discado,Fecha,Hora, "
             "Tiempo,Codigo,Reservaid,"
             "HabitacionId,PrecioVenta,"
             "PrecioCosto,ProductoId,MonedaId,TipoCambio) "
             "VALUES(")
      .Texto(vAnexo)
      .Texto(vDiscado)
      .Fecha(vFecha)
      .Hora(vHora)
      .Texto(vTiempo)
      .Texto(vCodigo)
      .Entero(vReservaId)
      .Entero(vHabitacionId)
      .Float(vPrecioVenta)
      .Float(vPrecioCosto)
      .Entero(vProductodId)
      .Entero(vMonedaId)
      .Float(vTipoCambio);
}

Estado Telefono::CrearDetalle(int32_t vComandaId, int32_t vReservaId, int32_t vHabitacionId,
                              int32_t vProductoId, float vPrecioUnitario, float vCantidad,
                              const std::string& vComandaManual, int32_t vPuntoVentaId,
                              int32_t vFacturable, uint8_t vPagoPor, uint8_t vEstado,
                              const std::string& vTransaccionDocumento, float vIgv, float vServicio,
                              const std::string& vDiscado, int32_t vMonedaId, float vTipoCambio,
                              Fecha vFecha, Fecha vHora) noexcept {
  return Ejecutar(FilaDetalle({vComandaId, vReservaId, vHabitacionId, vProductoId, vPrecioUnitario,
                               vCantidad, vComandaManual, vPuntoVentaId, vFacturable, vPagoPor,
                               vEstado, vTransaccionDocumento, vIgv, vServicio, vDiscado, vMonedaId,
                               vTipoCambio, vFecha, vHora})
                      .Terminar());
}

Estado Telefono::Crea(const std::string& vAnexo, const std::string& vDiscado, Fecha vFecha,
                      Fecha vHora, const std::string& vTiempo, const std::string& vCodigo,
                      int32_t vReservaId, int32_t vHabitacionId, float vPrecioVenta,
                      float vPrecioCosto, int32_t vProductodId, uint8_t vMonedaId,
                      float vTipoCambio) noexcept {
  return Ejecutar(
      FilaLlamada({vAnexo, vDiscado, vFecha, vHora, vTiempo, vCodigo, vReservaId, vHabitacionId,
                   vPrecioVenta, vPrecioCosto, vProductodId, vMonedaId, vTipoCambio})
          .Terminar());
}

Estado Telefono::CreaLLamda(const std::string& vAnexo, const std::string& vDiscado, Fecha vFecha,
                            Fecha /*vHora: not written*/) noexcept {
  return Ejecutar(InsercionSql("INSERT INTO telefonos(Anexo,Discado,Fecha) VALUES(")
                      .Texto(vAnexo)
                      .Texto(vDiscado)
                      .Fecha(vFecha)
                      .Terminar());
}

Resultado<int32_t> Telefono::ContarDetalles(const ArgsCrearDetalle& fila) noexcept {
  return Contar(FilaDetalle(fila).Contar());
}

Resultado<int32_t> Telefono::ContarLlamadas(const ArgsCrea& fila) noexcept {
  return Contar(FilaLlamada(fila).Contar());
}

Estado Telefono::Asegurar() noexcept { return ConexionCompartida::Asegurar(); }

uint64_t Telefono::Agrupar() noexcept { return ConexionCompartida::Agrupar(); }

// The same text forms as the INSERTs, so a stored row compares equal.
Resultado<int32_t> Telefono::Contar(const Resultado<std::string>& sql) {
  if (!sql) return sql.Falla();
  auto consulta = Consultar(sql.Dato(), Lectura::Propias);
  if (!consulta) return consulta.Falla();
  return LeerLong(*consulta.Dato(), "Cuantos");
}

}  // namespace captura
