#include "ConexionCompartida.h"

#include <exception>
#include <memory>
#include <mutex>

#include "Diagnostico.h"

namespace captura {
namespace {

struct Compartido {
  std::mutex mutex;
  ManejadorEntorno entorno;  // declared first: outlives the connection
  std::unique_ptr<Conexion> conexion;
  std::string cadena;
  bool reutilizar = true;
};

Compartido& Guardado() {
  static Compartido c;
  return c;
}

Estado AbrirEntorno(Compartido& c) {
  if (c.entorno) return {};
  SQLHENV h = SQL_NULL_HENV;
  const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h);
  if (!SQL_SUCCEEDED(rc)) return Fallo{kErrorConexion, "ODBC: cannot allocate the environment"};
  ManejadorEntorno entorno(h);
  if (auto e = Verificar(
          SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, h);
      !e) {
    return e;
  }
  c.entorno = std::move(entorno);
  return {};
}

Estado AbrirConexion(Compartido& c, const std::string& cadena) {
  if (c.conexion && c.cadena == cadena) return {};
  c.conexion.reset();
  if (auto e = AbrirEntorno(c); !e) return e;
  auto abierta = Conexion::Abrir(c.entorno.get(), cadena);
  if (!abierta) return abierta.Falla();
  c.conexion = std::move(abierta.Dato());
  c.cadena = cadena;
  return {};
}

}  // namespace

Estado ConexionCompartida::Usar(const std::string& cadena, const Trabajo& trabajo) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  try {
    if (auto e = AbrirConexion(c, cadena); !e) return e;
    Estado resultado = trabajo(*c.conexion);
    if (c.conexion->Rota() || !c.reutilizar) c.conexion.reset();
    return resultado;
  } catch (const std::exception& ex) {
    c.conexion.reset();
    return Fallo{7, std::string("Out of memory: ") + ex.what()};
  }
}

void ConexionCompartida::Descartar() {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.conexion.reset();
  c.entorno.reset();
}

void ConexionCompartida::FijarReutilizar(bool reutilizar) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.reutilizar = reutilizar;
  if (!reutilizar) c.conexion.reset();
}

}  // namespace captura
