#include "Conexion.h"

#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

#include "Diagnostico.h"

namespace captura {
namespace {

std::atomic<Conexion::Observador> observador{nullptr};

// An attribute the driver does not support is no reason to fail.
bool NoSoportado(SQLSMALLINT tipo, SQLHANDLE manejador) {
  const Diagnostico d = Diagnostico::Leer(tipo, manejador);
  for (const auto& r : d.Registros()) {
    if (r.estado != "HYC00" && r.estado != "HY092" && r.estado != "HY024" && r.estado != "01S02" &&
        r.estado != "IM001") {
      return false;
    }
  }
  return true;
}

bool EsEntero(SQLSMALLINT tipo) {
  switch (tipo) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_BIT:
      return true;
    default:
      return false;
  }
}

bool EsReal(SQLSMALLINT tipo) {
  switch (tipo) {
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return true;
    default:
      return false;
  }
}

// Longer texts are read again with SQLGetData.
constexpr std::size_t kAnchoTexto = 256;
constexpr std::size_t kAnchoReal = 64;

// One result column bound to a buffer of its own: one driver call per row
// instead of one per field. Reals are taken in the text form the driver
// holds them in and converted here, without the driver's locale-bound
// conversion.
class Enlace {
 public:
  explicit Enlace(SQLSMALLINT tipo)
      : tipo_(tipo),
        entero_(EsEntero(tipo)),
        real_(EsReal(tipo)),
        ancho_(entero_ ? sizeof(SQLBIGINT)
               : real_ ? kAnchoReal
                       : kAnchoTexto) {}

  SQLRETURN Enlazar(SQLHSTMT h, SQLUSMALLINT columna) {
    return SQLBindCol(h, columna, entero_ ? SQL_C_SBIGINT : SQL_C_CHAR, datos_.data(),
                      static_cast<SQLLEN>(ancho_), &indicador_);
  }

  // The column's SQL type, for reading the field again.
  SQLSMALLINT Tipo() const { return tipo_; }

  // The field, or nothing when the buffer does not hold it whole or in a
  // plain decimal form: it is then read again with SQLGetData.
  std::optional<Valor> Leer() const {
    if (indicador_ == SQL_NULL_DATA) return Valor();
    if (entero_) {
      SQLBIGINT v = 0;
      std::memcpy(&v, datos_.data(), sizeof v);
      return Valor::Entero(v);
    }
    if (indicador_ == SQL_NO_TOTAL || indicador_ < 0 ||
        static_cast<std::size_t>(indicador_) >= ancho_) {
      return std::nullopt;
    }
    const char* inicio = datos_.data();
    const char* fin = inicio + indicador_;
    if (!real_) return Valor::Texto(std::string(inicio, fin));
    double v = 0;
    const auto [resto, error] = std::from_chars(inicio, fin, v);
    if (error != std::errc() || resto != fin || !std::isfinite(v)) return std::nullopt;
    return Valor::Real(v);
  }

 private:
  SQLSMALLINT tipo_;
  bool entero_, real_;
  std::size_t ancho_;  // bytes the driver may write
  alignas(SQLBIGINT) std::array<char, kAnchoTexto> datos_;
  SQLLEN indicador_ = 0;
};

// Unbinds the columns: their buffers go with the read.
struct Desenlazar {
  void operator()(SQLHSTMT h) const noexcept { SQLFreeStmt(h, SQL_UNBIND); }
};

}  // namespace

Resultado<std::unique_ptr<Conexion>> Conexion::Abrir(SQLHENV entorno, const std::string& cadena) {
  SQLHDBC h = SQL_NULL_HDBC;
  if (auto e =
          captura::Verificar(SQLAllocHandle(SQL_HANDLE_DBC, entorno, &h), SQL_HANDLE_ENV, entorno);
      !e) {
    return e.Falla();
  }
  ManejadorConexion dbc(h);
  const SQLRETURN rc =
      SQLSetConnectAttr(h, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kTiempoLogin), 0);
  if (!SQL_SUCCEEDED(rc) && !NoSoportado(SQL_HANDLE_DBC, h)) {
    return captura::Verificar(rc, SQL_HANDLE_DBC, h).Falla();
  }
  std::array<SQLCHAR, 1024> completa{};
  SQLSMALLINT largo = 0;
  if (auto e = captura::Verificar(
          SQLDriverConnect(h, nullptr,
                           reinterpret_cast<SQLCHAR*>(const_cast<char*>(cadena.c_str())),
                           static_cast<SQLSMALLINT>(cadena.size()), completa.data(),
                           static_cast<SQLSMALLINT>(completa.size()), &largo, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, h);
      !e) {
    // Whatever the driver's state (SQLite says only HY000), the connection
    // could not be opened.
    return Fallo{kErrorConexion, e.Falla().Descripcion};
  }
  SQLUINTEGER extensiones = 0;
  const bool enlazar = SQL_SUCCEEDED(SQLGetInfo(h, SQL_GETDATA_EXTENSIONS, &extensiones,
                                                sizeof extensiones, nullptr)) &&
                       (extensiones & SQL_GD_BOUND) != 0;
  std::array<SQLCHAR, 64> motor{};
  const bool sqlite =
      SQL_SUCCEEDED(SQLGetInfo(h, SQL_DBMS_NAME, motor.data(),
                               static_cast<SQLSMALLINT>(motor.size()), nullptr)) &&
      std::string_view(reinterpret_cast<const char*>(motor.data())).starts_with("SQLite");
  return std::make_unique<Conexion>(std::move(dbc), enlazar, sqlite);
}

Conexion::~Conexion() {
  if (transaccion_) static_cast<void>(Terminar(false));
}

void Conexion::Observar(Observador o) noexcept { observador = o; }

Estado Conexion::Iniciar() {
  if (transaccion_) return {};
  if (auto e = Verificar(SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
                         SQL_HANDLE_DBC, dbc_.get());
      !e) {
    return e;
  }
  transaccion_ = true;
  return {};
}

Estado Conexion::Terminar(bool confirmar) {
  if (!transaccion_) return {};
  transaccion_ = false;
  if (auto e =
          Verificar(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), confirmar ? SQL_COMMIT : SQL_ROLLBACK),
                    SQL_HANDLE_DBC, dbc_.get());
      !e) {
    return e;
  }
  return Verificar(SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
                   SQL_HANDLE_DBC, dbc_.get());
}

Estado Conexion::Verificar(SQLRETURN rc, SQLSMALLINT tipo, SQLHANDLE manejador) {
  Estado e = captura::Verificar(rc, tipo, manejador, &rota_);
  if (!e && !rota_) {
    SQLUINTEGER muerta = SQL_CD_FALSE;
    if (SQL_SUCCEEDED(
            SQLGetConnectAttr(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &muerta, 0, nullptr)) &&
        muerta == SQL_CD_TRUE) {
      rota_ = true;
    }
  }
  if (!e && rota_) return Fallo{kErrorConexion, e.Falla().Descripcion};
  return e;
}

Estado Conexion::PrepararSentencia() {
  if (sentencia_) return {};
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (auto e =
          Verificar(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), &h), SQL_HANDLE_DBC, dbc_.get());
      !e) {
    return e;
  }
  ManejadorSentencia stmt(h);
  const SQLRETURN rc =
      SQLSetStmtAttr(h, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(kTiempoConsulta), 0);
  if (!SQL_SUCCEEDED(rc) && !NoSoportado(SQL_HANDLE_STMT, h)) {
    return Verificar(rc, SQL_HANDLE_STMT, h);
  }
  sentencia_ = std::move(stmt);
  return {};
}

Resultado<Conexion::Cursor> Conexion::EjecutarDirecto(const std::string& sql) {
  if (auto o = observador.load()) o(sql);
  return Enviar(sql);
}

Resultado<Conexion::Cursor> Conexion::Enviar(const std::string& sql) {
  // One statement handle serves every statement of the connection: the
  // cursor is closed after each use.
  if (auto e = PrepararSentencia(); !e) return e.Falla();
  SQLHSTMT h = sentencia_.get();
  Cursor cursor(h);
  if (auto e =
          Verificar(SQLExecDirect(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                                  static_cast<SQLINTEGER>(sql.size())),
                    SQL_HANDLE_STMT, h);
      !e) {
    return e.Falla();
  }
  return cursor;
}

Estado Conexion::Ejecutar(const std::string& sql) {
  auto stmt = EjecutarDirecto(sql);
  if (!stmt) return stmt.Falla();
  return {};
}

Estado Conexion::Ejecutar(const std::vector<std::string>& sentencias) {
  if (sentencias.empty()) return {};
  if (sentencias.size() == 1) return Ejecutar(sentencias.front());
  std::string lote;
  for (const auto& sql : sentencias) {
    if (auto o = observador.load()) o(sql);
    if (!lote.empty()) lote += ';';
    lote += sql;
  }
  auto stmt = Enviar(lote);
  if (!stmt) return stmt.Falla();
  // Some drivers tell a later statement's failure only with its result.
  SQLHSTMT h = stmt.Dato().get();
  for (;;) {
    const SQLRETURN rc = SQLMoreResults(h);
    if (rc == SQL_NO_DATA) return {};
    if (auto e = Verificar(rc, SQL_HANDLE_STMT, h); !e) return e;
  }
}

Estado Conexion::Asegurar(bool vaciar) {
  if (!sqlite_) return {};
  auto rs =
      Consultar(vaciar ? "PRAGMA wal_checkpoint(TRUNCATE)" : "PRAGMA wal_checkpoint(PASSIVE)");
  if (!rs) return rs.Falla();
  // busy, frames in the log, frames written back (-1 and -1 outside WAL).
  std::array<int32_t, 3> v{};
  for (std::size_t i = 0; i < v.size(); ++i) {
    auto campo = rs.Dato()->Campo(i);
    auto n = campo ? campo.Dato().ALong() : Resultado<int32_t>(campo.Falla());
    if (!n) return n.Falla();
    v[i] = n.Dato();
  }
  if (v[0] != 0 || v[2] < v[1]) {
    return Fallo{kErrorSentencia,
                 "HY000: the database file was not flushed: " + std::to_string(v[2]) + " of " +
                     std::to_string(v[1]) + " log frames written back"};
  }
  return {};
}

Resultado<std::unique_ptr<Recordset>> Conexion::Consultar(const std::string& sql) {
  auto ejecutada = EjecutarDirecto(sql);
  if (!ejecutada) return ejecutada.Falla();
  SQLHSTMT h = ejecutada.Dato().get();

  SQLSMALLINT columnas = 0;
  if (auto e = Verificar(SQLNumResultCols(h, &columnas), SQL_HANDLE_STMT, h); !e) {
    return e.Falla();
  }
  std::vector<std::string> nombres;
  std::vector<SQLSMALLINT> tipos;
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columnas); ++c) {
    std::array<SQLCHAR, 256> nombre{};
    SQLSMALLINT largo = 0, tipo = 0, decimales = 0, nulos = 0;
    SQLULEN tamano = 0;
    if (auto e =
            Verificar(SQLDescribeCol(h, c, nombre.data(), static_cast<SQLSMALLINT>(nombre.size()),
                                     &largo, &tipo, &tamano, &decimales, &nulos),
                      SQL_HANDLE_STMT, h);
        !e) {
      return e.Falla();
    }
    nombres.emplace_back(reinterpret_cast<const char*>(nombre.data()));
    tipos.push_back(tipo);
  }

  auto rs = std::make_unique<Recordset>(std::move(nombres));
  if (auto e = enlazar_ ? LeerEnlazadas(h, tipos, *rs) : LeerCampoACampo(h, tipos, *rs); !e) {
    return e.Falla();
  }
  rs->MoveFirst();
  return rs;
}

Estado Conexion::LeerCampoACampo(SQLHSTMT h, const std::vector<SQLSMALLINT>& tipos, Recordset& rs) {
  for (;;) {
    const SQLRETURN rc = SQLFetch(h);
    if (rc == SQL_NO_DATA) return {};
    if (auto e = Verificar(rc, SQL_HANDLE_STMT, h); !e) return e;
    Recordset::Fila fila;
    fila.reserve(tipos.size());
    for (SQLUSMALLINT c = 1; c <= tipos.size(); ++c) {
      auto valor = LeerCampo(h, c, tipos[c - 1]);
      if (!valor) return valor.Falla();
      fila.push_back(std::move(valor.Dato()));
    }
    rs.AgregarFila(std::move(fila));
  }
}

Estado Conexion::LeerEnlazadas(SQLHSTMT h, const std::vector<SQLSMALLINT>& tipos, Recordset& rs) {
  std::vector<Enlace> enlaces(tipos.begin(), tipos.end());
  std::unique_ptr<void, Desenlazar> enlazadas(h);
  for (SQLUSMALLINT c = 1; c <= enlaces.size(); ++c) {
    if (auto e = Verificar(enlaces[c - 1].Enlazar(h, c), SQL_HANDLE_STMT, h); !e) return e;
  }
  for (;;) {
    const SQLRETURN rc = SQLFetch(h);
    if (rc == SQL_NO_DATA) return {};
    if (auto e = Verificar(rc, SQL_HANDLE_STMT, h); !e) return e;
    Recordset::Fila fila;
    fila.reserve(enlaces.size());
    for (SQLUSMALLINT c = 1; c <= enlaces.size(); ++c) {
      const Enlace& enlace = enlaces[c - 1];
      if (auto valor = enlace.Leer()) {
        fila.push_back(std::move(*valor));
        continue;
      }
      auto otra = LeerCampo(h, c, enlace.Tipo());
      if (!otra) return otra.Falla();
      fila.push_back(std::move(otra.Dato()));
    }
    rs.AgregarFila(std::move(fila));
  }
}

Resultado<Valor> Conexion::LeerCampo(SQLHSTMT h, SQLUSMALLINT columna, SQLSMALLINT tipo) {
  SQLLEN indicador = 0;
  if (EsEntero(tipo)) {
    SQLBIGINT v = 0;
    if (auto e = Verificar(SQLGetData(h, columna, SQL_C_SBIGINT, &v, sizeof v, &indicador),
                           SQL_HANDLE_STMT, h);
        !e) {
      return e.Falla();
    }
    return indicador == SQL_NULL_DATA ? Valor() : Valor::Entero(v);
  }
  if (EsReal(tipo)) {
    double v = 0;
    if (auto e = Verificar(SQLGetData(h, columna, SQL_C_DOUBLE, &v, sizeof v, &indicador),
                           SQL_HANDLE_STMT, h);
        !e) {
      return e.Falla();
    }
    return indicador == SQL_NULL_DATA ? Valor() : Valor::Real(v);
  }
  // Text, dates and anything else: as text, read in pieces until complete.
  std::string texto;
  std::array<char, 256> trozo{};
  for (;;) {
    const SQLRETURN rc = SQLGetData(h, columna, SQL_C_CHAR, trozo.data(),
                                    static_cast<SQLLEN>(trozo.size()), &indicador);
    if (rc == SQL_NO_DATA) break;
    if (auto e = Verificar(rc, SQL_HANDLE_STMT, h); !e) return e.Falla();
    if (indicador == SQL_NULL_DATA) return Valor();
    const bool completo = rc == SQL_SUCCESS || (indicador != SQL_NO_TOTAL &&
                                                indicador < static_cast<SQLLEN>(trozo.size()));
    texto.append(trozo.data(), completo ? static_cast<std::size_t>(indicador) : trozo.size() - 1);
    if (completo) break;
  }
  return Valor::Texto(std::move(texto));
}

}  // namespace captura
