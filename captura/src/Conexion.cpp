#include "Conexion.h"

#include <array>
#include <atomic>

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
  return std::make_unique<Conexion>(std::move(dbc));
}

void Conexion::Observar(Observador o) noexcept { observador = o; }

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
  // One statement handle serves every statement of the connection: the
  // cursor is closed after each use.
  if (auto e = PrepararSentencia(); !e) return e.Falla();
  SQLHSTMT h = sentencia_.get();
  Cursor cursor(h);
  if (auto o = observador.load()) o(sql);
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
  for (;;) {
    const SQLRETURN rc = SQLFetch(h);
    if (rc == SQL_NO_DATA) break;
    if (auto e = Verificar(rc, SQL_HANDLE_STMT, h); !e) return e.Falla();
    Recordset::Fila fila;
    fila.reserve(tipos.size());
    for (SQLUSMALLINT c = 1; c <= tipos.size(); ++c) {
      auto valor = LeerCampo(h, c, tipos[c - 1]);
      if (!valor) return valor.Falla();
      fila.push_back(std::move(valor.Dato()));
    }
    rs->AgregarFila(std::move(fila));
  }
  rs->MoveFirst();
  return rs;
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
