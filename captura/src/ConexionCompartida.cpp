#include "ConexionCompartida.h"

#include <exception>
#include <map>
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
  bool agrupar = false;
  int filas = 0;  // rows in the open transaction
  // Rows that change rarely, read in the open transaction, by statement.
  std::map<std::string, Recordset, std::less<>> fijas;
  Reloj::time_point abierta;  // when its first row went in
  uint64_t perdidas = 0;
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

// Drops the kept connection; a transaction it held is rolled back with it.
void Soltar(Compartido& c) {
  if (c.filas > 0) ++c.perdidas;
  c.filas = 0;
  c.fijas.clear();
  c.hilo.reset();
}

// Closes the kept connection, its database file written back first.
void Cerrar(Compartido& c) {
  if (c.hilo && c.hilo->Abierta() && c.filas == 0) {
    static_cast<void>(
        c.hilo->Ejecutar([](Conexion& conexion) { return conexion.Asegurar(true); }, c.consulta));
  }
  Soltar(c);
}

// Ends the open transaction on the kept connection: committed, or rolled
// back (its rows then lost). A commit that fails leaves its outcome unknown.
Estado Terminar(Compartido& c, bool confirmar) {
  auto hecho = c.hilo->Ejecutar(
      [confirmar](Conexion& conexion) { return conexion.Terminar(confirmar); }, c.consulta);
  if (!hecho) {
    Soltar(c);
    return SinRespuesta(c.consulta);
  }
  if (!*hecho || c.hilo->Rota()) {
    Soltar(c);
    return *hecho;
  }
  if (!confirmar && c.filas > 0) ++c.perdidas;
  c.filas = 0;
  c.fijas.clear();
  return {};
}

// One run of the work on the kept connection, opened when there is none.
// The connection is closed after any failure; a failure inside a
// transaction rolls it back.
Estado Ejecutar(Compartido& c, const std::string& cadena, const ConexionCompartida::Trabajo& t,
                bool& reusada, bool posteo) {
  if (c.hilo && (c.hilo->Cadena() != cadena || Reloj::now() - c.ultimoUso > c.inactividad)) {
    Cerrar(c);
  }
  if (posteo && c.hilo && c.filas > 0 &&
      (c.filas >= ConexionCompartida::kFilasPorTransaccion ||
       Reloj::now() - c.abierta >= ConexionCompartida::kDuracionTransaccion)) {
    if (auto e = Terminar(c, true); !e) return e;
  }
  if (HiloConexion::Abandonados() >= kMaximoAbandonados) return SinRespuesta(c.consulta);
  if (auto e = AbrirEntorno(c); !e) return e;
  reusada = c.hilo && c.hilo->Abierta();
  if (!c.hilo) c.hilo = std::make_unique<HiloConexion>(c.entorno, cadena);
  // Opening a connection has its own login time-out.
  const milliseconds limite =
      c.consulta + (reusada ? milliseconds(0) : std::chrono::seconds(Conexion::kTiempoLogin));
  // A server's posting joins the open transaction, or begins one.
  const bool agrupar = posteo && c.agrupar && c.reutilizar;
  auto enTransaccion = std::make_shared<bool>(false);
  auto hecho = c.hilo->Ejecutar(
      [t, agrupar, enTransaccion](Conexion& conexion) -> Estado {
        if (agrupar && !conexion.Embebida()) {
          if (auto e = conexion.Iniciar(); !e) return e;
        }
        Estado e = t(conexion);
        *enTransaccion = conexion.EnTransaccion();
        return e;
      },
      limite);
  if (!hecho) {
    Soltar(c);  // its thread goes on alone
    return SinRespuesta(limite);
  }
  c.ultimoUso = Reloj::now();
  if (c.hilo->Rota() || !c.reutilizar || (!*hecho && EsFalloTransitorio(hecho->Falla()))) {
    Soltar(c);
  } else if (!*hecho) {
    if (*enTransaccion) static_cast<void>(Terminar(c, false));
    // The failure may lie in the connection itself (a database file it
    // opened read-only): the next try starts on a new one, so a cause fixed
    // meanwhile is seen at once.
    Cerrar(c);
  } else if (posteo && *enTransaccion && c.filas++ == 0) {
    c.abierta = c.ultimoUso;
  }
  return *hecho;
}

// Usar, with the shared state locked.
Estado Usar(Compartido& c, const std::string& cadena, const ConexionCompartida::Trabajo& trabajo,
            ConexionCompartida::Repetir repetir) {
  using Repetir = ConexionCompartida::Repetir;
  try {
    bool reusada = false;
    const bool posteo = repetir == Repetir::No;
    Estado e = Ejecutar(c, cadena, trabajo, reusada, posteo);
    if (e && posteo && c.hilo) c.sinAsegurar = true;
    // A kept connection found dead: a lookup runs once more on a new one. A
    // time-out is not retried: the server is there but does not answer.
    if (!e && reusada && repetir == Repetir::Si && e.Falla().Numero != kErrorTiempo &&
        EsFalloTransitorio(e.Falla())) {
      e = Ejecutar(c, cadena, trabajo, reusada, posteo);
    }
    return e;
  } catch (const std::exception& ex) {
    Soltar(c);
    return Fallo{7, std::string("Out of memory: ") + ex.what()};
  }
}

}  // namespace

Estado ConexionCompartida::Usar(const std::string& cadena, const Trabajo& trabajo,
                                Repetir repetir) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  return captura::Usar(c, cadena, trabajo, repetir);
}

Resultado<std::unique_ptr<Recordset>> ConexionCompartida::Consultar(const std::string& cadena,
                                                                    const std::string& sql,
                                                                    bool fijas) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  try {
    // Only a server's open transaction holds rows (an embedded file's
    // postings commit on their own).
    const bool enTransaccion = fijas && c.filas > 0 && c.hilo && c.hilo->Cadena() == cadena;
    if (enTransaccion) {
      if (auto leidas = c.fijas.find(sql); leidas != c.fijas.end()) {
        auto copia = std::make_unique<Recordset>(leidas->second);
        copia->MoveFirst();
        return copia;
      }
    }
    // Held apart from this frame: after a time-out the work may end later.
    auto rs = std::make_shared<std::unique_ptr<Recordset>>();
    Estado e = captura::Usar(
        c, cadena,
        [sql, rs](Conexion& conexion) -> Estado {
          auto r = conexion.Consultar(sql);
          if (!r) return r.Falla();
          *rs = std::move(r.Dato());
          return {};
        },
        Repetir::Si);
    if (!e) return e.Falla();
    // Still the same transaction: a commit or a rollback sets filas to 0,
    // and a lookup adds none.
    if (enTransaccion && c.filas > 0) c.fijas.insert_or_assign(sql, **rs);
    return std::move(*rs);
  } catch (const std::exception& ex) {
    Soltar(c);
    return Fallo{7, std::string("Out of memory: ") + ex.what()};
  }
}

uint64_t ConexionCompartida::Agrupar() {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.agrupar = true;
  return c.perdidas;
}

// A connection closed since is flushed by its close.
Estado ConexionCompartida::Asegurar() {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  try {
    if (c.hilo && c.filas > 0) {
      if (auto e = Terminar(c, true); !e) return e;
    }
    if (!c.hilo || !c.hilo->Abierta() || !c.sinAsegurar) return {};
    auto hecho =
        c.hilo->Ejecutar([](Conexion& conexion) { return conexion.Asegurar(); }, c.consulta);
    if (!hecho) {
      Soltar(c);
      return SinRespuesta(c.consulta);
    }
    if (*hecho) {
      c.sinAsegurar = false;
    } else if (c.hilo->Rota() || EsFalloTransitorio(hecho->Falla())) {
      Soltar(c);
    }
    return *hecho;
  } catch (const std::exception& ex) {
    Soltar(c);
    return Fallo{7, std::string("Out of memory: ") + ex.what()};
  }
}

void ConexionCompartida::Descartar() {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  Soltar(c);
  c.entorno.reset();
}

void ConexionCompartida::FijarReutilizar(bool reutilizar) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.reutilizar = reutilizar;
  if (!reutilizar) Soltar(c);
}

void ConexionCompartida::FijarTiempos(milliseconds inactividad, milliseconds consulta) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  c.inactividad = inactividad;
  c.consulta = consulta;
}

}  // namespace captura
