#pragma once

#include <sql.h>
#include <sqlext.h>

#include <memory>

namespace captura {

// Frees an ODBC handle of one type.
template <SQLSMALLINT Tipo>
struct LiberarManejador {
  void operator()(SQLHANDLE h) const noexcept { SQLFreeHandle(Tipo, h); }
};

// Disconnects (a no-op when the connection never opened) and frees it.
struct CerrarConexion {
  void operator()(SQLHDBC h) const noexcept {
    SQLDisconnect(h);
    SQLFreeHandle(SQL_HANDLE_DBC, h);
  }
};

using ManejadorEntorno = std::unique_ptr<void, LiberarManejador<SQL_HANDLE_ENV>>;
using ManejadorConexion = std::unique_ptr<void, CerrarConexion>;
using ManejadorSentencia = std::unique_ptr<void, LiberarManejador<SQL_HANDLE_STMT>>;

}  // namespace captura
