#pragma once

#include <sql.h>

#include <string>
#include <vector>

#include "captura/Resultado.h"

namespace captura {

// The diagnostic records an ODBC call left on its handle.
class Diagnostico {
 public:
  struct Registro {
    std::string estado;  // SQLSTATE
    std::string mensaje;
  };

  static Diagnostico Leer(SQLSMALLINT tipo, SQLHANDLE manejador);

  const std::vector<Registro>& Registros() const noexcept { return registros_; }
  // True when a record says the connection itself is broken (class 08).
  bool DeConexion() const noexcept;
  Fallo AFallo() const;

 private:
  std::vector<Registro> registros_;
};

// The one check of every ODBC return code: success (with or without
// information, or no data) passes; anything else becomes a failure built from
// the handle's diagnostics. A broken connection is reported through rota.
Estado Verificar(SQLRETURN rc, SQLSMALLINT tipo, SQLHANDLE manejador, bool* rota = nullptr);

}  // namespace captura
