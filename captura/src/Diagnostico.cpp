#include "Diagnostico.h"

#include <sqlext.h>

#include <array>

namespace captura {

Diagnostico Diagnostico::Leer(SQLSMALLINT tipo, SQLHANDLE manejador) {
  Diagnostico d;
  for (SQLSMALLINT i = 1;; ++i) {
    std::array<SQLCHAR, 6> estado{};
    SQLINTEGER nativo = 0;
    std::array<SQLCHAR, 1024> mensaje{};
    SQLSMALLINT largo = 0;
    const SQLRETURN rc = SQLGetDiagRec(tipo, manejador, i, estado.data(), &nativo, mensaje.data(),
                                       static_cast<SQLSMALLINT>(mensaje.size()), &largo);
    if (!SQL_SUCCEEDED(rc)) break;
    d.registros_.push_back({reinterpret_cast<const char*>(estado.data()),
                            reinterpret_cast<const char*>(mensaje.data())});
  }
  return d;
}

bool Diagnostico::DeConexion() const noexcept {
  for (const auto& r : registros_) {
    if (r.estado.starts_with("08")) return true;
  }
  return false;
}

Fallo Diagnostico::AFallo() const {
  if (registros_.empty()) return {kErrorSentencia, "ODBC: the call failed without diagnostics"};
  Fallo f{kErrorSentencia, {}};
  for (const auto& r : registros_) {
    if (r.estado.starts_with("08") || r.estado.starts_with("28")) f.Numero = kErrorConexion;
    if (r.estado == "HYT00" || r.estado == "HYT01") f.Numero = kErrorTiempo;
    if (!f.Descripcion.empty()) f.Descripcion += " / ";
    f.Descripcion += r.estado + ": " + r.mensaje;
  }
  return f;
}

Estado Verificar(SQLRETURN rc, SQLSMALLINT tipo, SQLHANDLE manejador, bool* rota) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return {};
  if (rc == SQL_INVALID_HANDLE) return Fallo{kErrorSentencia, "ODBC: invalid handle"};
  const Diagnostico d = Diagnostico::Leer(tipo, manejador);
  if (rota && d.DeConexion()) *rota = true;
  return d.AFallo();
}

}  // namespace captura
