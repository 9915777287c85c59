#include "ConexionCompartida.h"

#include <exception>
#include <memory>
#include <mutex>

#include "Diagnostico.h"
#include "HiloConexion.h"
#include "captura/FalloTransitorio.h"

namespace captura {
namespace {

using Reloj = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Threads still held by a silent server beyond which a new call does not
// wait its own time-out: the server has not answered for minutes.
constexpr int kMaximoAbandonados = 4;

struct Compartido {
  std::mutex mutex;
  std::shared_ptr<ManejadorEntorno> entorno;
  std::unique_ptr<HiloConexion> hilo;
  Reloj::time_point ultimoUso;
  bool sinAsegurar = false;  // rows posted on the kept connection since its last flush
  bool reutilizar = true;
  milliseconds inactividad = ConexionCompartida::kInactividadMaxima;
  milliseconds consulta = std::chrono::seconds(Conexion::kTiempoConsulta);
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
  auto entorno = std::make_shared<ManejadorEntorno>(h);
  if (auto e = Verificar(
          SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, h);
      !e) {
    return e;
  }
  c.entorno = std::move(entorno);
  return {};
}

Fallo SinRespuesta(milliseconds limite) {
  return Fallo{kErrorTiempo, "HYT00: the database did not answer within " +
                                 std::to_string(limite.count()) + " ms"};
}

// Closes the kept connection, its database file written back first.
void Cerrar(Compartido& c) {
  if (c.hilo && c.hilo->Abierta()) {
    static_cast<void>(
        c.hilo->Ejecutar([](Conexion& conexion) { return conexion.Asegurar(true); }, c.consulta));
  }
  c.hilo.reset();
}

// One run of the work on the kept connection, opened when there is none.
// The connection is closed after any failure.
Estado Ejecutar(Compartido& c, const std::string& cadena, const ConexionCompartida::Trabajo& t,
                bool& reusada) {
  if (c.hilo && (c.hilo->Cadena() != cadena || Reloj::now() - c.ultimoUso > c.inactividad)) {
    Cerrar(c);
  }
  if (HiloConexion::Abandonados() >= kMaximoAbandonados) return SinRespuesta(c.consulta);
  if (auto e = AbrirEntorno(c); !e) return e;
  reusada = c.hilo && c.hilo->Abierta();
  if (!c.hilo) c.hilo = std::make_unique<HiloConexion>(c.entorno, cadena);
  // Opening a connection has its own login time-out.
  const milliseconds limite =
      c.consulta + (reusada ? milliseconds(0) : std::chrono::seconds(Conexion::kTiempoLogin));
  auto hecho = c.hilo->Ejecutar(t, limite);
  if (!hecho) {
    c.hilo.reset();  // its thread goes on alone
    return SinRespuesta(limite);
  }
  c.ultimoUso = Reloj::now();
  if (c.hilo->Rota() || !c.reutilizar || (!*hecho && EsFalloTransitorio(hecho->Falla()))) {
    c.hilo.reset();
  } else if (!*hecho) {
    // The failure may lie in the connection itself (a database file it
    // opened read-only): the next try starts on a new one, so a cause fixed
    // meanwhile is seen at once.
    Cerrar(c);
  }
  return *hecho;
}

}  // namespace

Estado ConexionCompartida::Usar(const std::string& cadena, const Trabajo& trabajo,
                                Repetir repetir) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  try {
    bool reusada = false;
    Estado e = Ejecutar(c, cadena, trabajo, reusada);
    if (e && repetir == Repetir::No && c.hilo) c.sinAsegurar = true;
    // A kept connection found dead: a lookup runs once more on a new one. A
    // time-out is not retried: the server is there but does not answer.
    if (!e && reusada && repetir == Repetir::Si && e.Falla().Numero != kErrorTiempo &&
        EsFalloTransitorio(e.Falla())) {
      e = Ejecutar(c, cadena, trabajo, reusada);
    }
    return e;
  } catch (const std::exception& ex) {
    c.hilo.reset();
    return Fallo{7, std::string("Out of memory: ") + ex.what()};
  }
}

// A connection closed since is flushed by its close.
Estado ConexionCompartida::Asegurar() {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  if (!c.hilo || !c.hilo->Abierta() || !c.sinAsegurar) return {};
  try {
    auto hecho =
        c.hilo->Ejecutar([](Conexion& conexion) { return conexion.Asegurar(); }, c.consulta);
    if (!hecho) {
      c.hilo.reset();
      return SinRespuesta(c.consulta);
    }
    if (*hecho) {
      c.sinAsegurar = false;
    } else if (c.hilo->Rota() || EsFalloTransitorio(hecho->Falla())) {
      c.hilo.reset();
    }
    return *hecho;
  } catch (const std::exception& ex) {
    c.hilo.reset();
    return Fallo{7, std::string("Out of memory: ") + ex.what()};
  }
}

void ConexionCompartida::Descartar() {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.hilo.reset();
  c.entorno.reset();
}

void ConexionCompartida::FijarReutilizar(bool reutilizar) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.reutilizar = reutilizar;
  if (!reutilizar) c.hilo.reset();
}

void ConexionCompartida::FijarTiempos(milliseconds inactividad, milliseconds consulta) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.inactividad = inactividad;
  c.consulta = consulta;
}

}  // namespace captura
