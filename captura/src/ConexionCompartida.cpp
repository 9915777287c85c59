#include "ConexionCompartida.h"

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Diagnostico.h"
#include "HiloConexion.h"
#include "captura/FalloTransitorio.h"

namespace captura {
namespace {

using Reloj = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Lectura = ConexionCompartida::Lectura;
using Trabajo = std::function<Estado(Conexion&)>;

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
  // Rows of the open transaction not sent yet, and whether it held any back.
  std::vector<std::string> retenidas;
  bool retuvo = false;
  // Off after a transaction with rows held back was lost, until one commits.
  bool retener = true;
  // Rows the station never writes, read in the open transaction, by statement.
  std::map<std::string, Recordset, std::less<>> ajenas;
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

// The open transaction is over, committed or lost.
void Cerrada(Compartido& c, bool perdida) {
  if (perdida && c.filas > 0) {
    ++c.perdidas;
    // Which of its rows failed is not known: the lines go again one by one.
    if (c.retuvo) c.retener = false;
  } else if (c.filas > 0) {
    c.retener = true;
  }
  c.filas = 0;
  c.retenidas.clear();
  c.retuvo = false;
  c.ajenas.clear();
}

// Drops the kept connection; a transaction it held is rolled back with it.
void Soltar(Compartido& c) {
  Cerrada(c, true);
  c.hilo.reset();
}

// Memory ran out midway: the shared state may be half changed, so the kept
// connection goes with whatever it held.
Fallo SinMemoria(Compartido& c, const std::exception& ex) {
  Soltar(c);
  return Fallo{7, std::string("Out of memory: ") + ex.what()};
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
  std::vector<std::string> retenidas;
  if (confirmar) retenidas.swap(c.retenidas);
  auto hecho = c.hilo->Ejecutar(
      [confirmar, retenidas = std::move(retenidas)](Conexion& conexion) -> Estado {
        // Rows that fail here leave the transaction open: it goes with the
        // connection.
        if (auto e = conexion.Ejecutar(retenidas); !e) return e;
        return conexion.Terminar(confirmar);
      },
      c.consulta);
  if (!hecho) {
    Soltar(c);
    return SinRespuesta(c.consulta);
  }
  if (!*hecho || c.hilo->Rota()) {
    Soltar(c);
    return *hecho;
  }
  Cerrada(c, !confirmar);
  return {};
}

// One run of the work on the kept connection, opened when there is none.
// The connection is closed after any failure; a failure inside a
// transaction rolls it back.
Estado Ejecutar(Compartido& c, const std::string& cadena, const Trabajo& t, bool& reusada,
                bool posteo, bool ajena) {
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
  // Held-back rows go first, unless the work reads none of them.
  std::vector<std::string> retenidas;
  if (!ajena) retenidas.swap(c.retenidas);
  auto enTransaccion = std::make_shared<bool>(false);
  auto hecho = c.hilo->Ejecutar(
      [t, agrupar, enTransaccion, retenidas = std::move(retenidas)](Conexion& conexion) -> Estado {
        if (agrupar && !conexion.Embebida()) {
          if (auto e = conexion.Iniciar(); !e) return e;
        }
        if (auto e = conexion.Ejecutar(retenidas); !e) return e;
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

// A posting is never run twice; a lookup runs once more on a new connection
// when the kept one was dead.
enum class Repetir { No, Si };

// Runs the work on the kept connection (opened when there is none), with the
// shared state locked. A lookup of rows the station never writes (ajena)
// does not wait for the rows held back.
Estado Usar(Compartido& c, const std::string& cadena, const Trabajo& trabajo, Repetir repetir,
            bool ajena = false) {
  try {
    bool reusada = false;
    const bool posteo = repetir == Repetir::No;
    Estado e = Ejecutar(c, cadena, trabajo, reusada, posteo, ajena);
    if (e && posteo && c.hilo) c.sinAsegurar = true;
    // A kept connection found dead: a lookup runs once more on a new one. A
    // time-out is not retried: the server is there but does not answer.
    if (!e && reusada && repetir == Repetir::Si && e.Falla().Numero != kErrorTiempo &&
        EsFalloTransitorio(e.Falla())) {
      e = Ejecutar(c, cadena, trabajo, reusada, posteo, ajena);
    }
    return e;
  } catch (const std::exception& ex) {
    return SinMemoria(c, ex);
  }
}

// A posting joins the rows held back: a server's grouped transaction is
// open on the kept connection (rows counted only there), and it is not due to
// be committed first.
bool Retener(const Compartido& c, const std::string& cadena) {
  const auto ahora = Reloj::now();
  return c.retener && c.filas > 0 && c.hilo && c.hilo->Cadena() == cadena &&
         c.filas < ConexionCompartida::kFilasPorTransaccion &&
         ahora - c.abierta < ConexionCompartida::kDuracionTransaccion &&
         ahora - c.ultimoUso <= c.inactividad;
}

}  // namespace

Estado ConexionCompartida::Postear(const std::string& cadena, std::string sql) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  try {
    if (Retener(c, cadena)) {
      c.retenidas.push_back(std::move(sql));
      c.retuvo = true;
      ++c.filas;
      return {};
    }
  } catch (const std::exception& ex) {
    return SinMemoria(c, ex);
  }
  return captura::Usar(
      c, cadena, [sql = std::move(sql)](Conexion& conexion) { return conexion.Ejecutar(sql); },
      Repetir::No);
}

Resultado<std::unique_ptr<Recordset>> ConexionCompartida::Consultar(const std::string& cadena,
                                                                    const std::string& sql,
                                                                    Lectura lectura) {
  Compartido& c = Guardado();
  std::lock_guard candado(c.mutex);
  try {
    // Only a server's open transaction holds rows (an embedded file's
    // postings commit on their own).
    const bool enTransaccion =
        lectura == Lectura::Ajenas && c.filas > 0 && c.hilo && c.hilo->Cadena() == cadena;
    if (enTransaccion) {
      if (auto leidas = c.ajenas.find(sql); leidas != c.ajenas.end()) {
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
        Repetir::Si, lectura != Lectura::Propias);
    if (!e) return e.Falla();
    // Still the same transaction: a commit or a rollback sets filas to 0,
    // and a lookup adds none.
    if (enTransaccion && c.filas > 0) c.ajenas.insert_or_assign(sql, **rs);
    return std::move(*rs);
  } catch (const std::exception& ex) {
    return SinMemoria(c, ex);
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
    return SinMemoria(c, ex);
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
