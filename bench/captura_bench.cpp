// Calls per second of the sequence one priced call costs the component:
// ListarTodo, ReservaHabitacion, CrearDetalle, Crea, made durable 50 calls
// at a time as the station's receive events do; against a Productos
// table of 20,000 rows, on the embedded SQLite default and on PostgreSQL
// (when scripts/postgres-prueba.sh has started one: SENTREL_PG_PORT).
//
//   eval "$(scripts/postgres-prueba.sh iniciar --fsync)"
//   build/bin/captura_bench [seconds per measure]
//
// A fixed number of calls on the kept connection instead (for instruction
// counts; callgrind --toggle-collect='*Secuencia*' counts only the calls):
//   build/bin/captura_bench 0 sqlite 2000
//
// Each engine is measured in a process of its own: the driver manager keeps
// what it read from odbc.ini for 20 s.
//   scripts/postgres-prueba.sh parar "$SENTREL_PG_DIR"
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ConexionCompartida.h"
#include "Telefono.h"
#include "captura/Regional.h"

namespace {

using namespace captura;
using Reloj = std::chrono::steady_clock;

constexpr int kProductos = 20000;
constexpr char kDrivers[] = "/usr/lib/x86_64-linux-gnu/odbc/";

void Escribir(const std::string& ruta, const std::string& texto) {
  std::ofstream(ruta, std::ios::trunc) << texto;
}

[[noreturn]] void Morir(const std::string& que, const Fallo& f) {
  std::fprintf(stderr, "%s: %d %s\n", que.c_str(), f.Numero, f.Descripcion.c_str());
  std::exit(1);
}

void Ejecutar(SQLHENV entorno, const std::string& cadena, const std::string& sql) {
  auto c = Conexion::Abrir(entorno, cadena);
  if (!c) Morir(cadena, c.Falla());
  if (auto e = c.Dato()->Ejecutar(sql); !e) Morir(sql.substr(0, 60), e.Falla());
}

// Codes "ddd" + four digits: a three-character key like "005" finds 20 rows.
std::string LlenarProductos(bool postgres) {
  const std::string serie =
      postgres ? "SELECT i, lpad((i % 1000)::text, 3, '0') || lpad((i / 1000)::text, 4, '0'), "
                 "2.5, CASE WHEN i % 7 = 0 THEN NULL ELSE 1.1 END, 1 "
                 "FROM generate_series(0, " +
                     std::to_string(kProductos - 1) + ") AS i"
               : "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                     std::to_string(kProductos - 1) +
                     ") SELECT i, printf('%03d%04d', i % 1000, i / 1000), 2.5, "
                     "CASE WHEN i % 7 = 0 THEN NULL ELSE 1.1 END, 1 FROM n";
  return "INSERT INTO Productos (ProductoID, CodigosTelefonicos, PrecioVenta, PrecioCosto, "
         "MonedaId) " +
         serie;
}

// Processor time of the whole process (user and system), which other
// processes on the machine do not inflate the way they do wall time.
double SegundosProcesador() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The calls of one priced call, n times over, then made durable.
void Secuencia(Telefono& tel, int n) {
  tel.Agrupar();
  const Fecha ahora = *Regional::DesdeCalendario(2026, 12, 7) + Regional::DesdeReloj(8, 5, 9);
  for (int k = 0; k < n; ++k) {
    auto rs = tel.ListarTodo("005");
    if (!rs) Morir("ListarTodo", rs.Falla());
    int32_t reserva = 0, habitacion = 0;
    if (auto e = tel.ReservaHabitacion(reserva, habitacion, "101"); !e) {
      Morir("ReservaHabitacion", e.Falla());
    }
    if (auto e = tel.CrearDetalle(0, reserva, habitacion, 5, 2.5f, 3, "", 1, 1, 0, 0, "", 0, 0,
                                  "0051987654321", 1, 3.5f, ahora, ahora);
        !e) {
      Morir("CrearDetalle", e.Falla());
    }
    if (auto e = tel.Crea("101", "0051987654321", ahora, ahora, "00:02:10", "1", reserva,
                          habitacion, 2.5f, 1.1f, 5, 1, 3.5f);
        !e) {
      Morir("Crea", e.Falla());
    }
  }
  if (auto e = tel.Asegurar(); !e) Morir("Asegurar", e.Falla());
}

double Medir(double segundos) {
  Telefono tel;
  long llamadas = 0;
  const auto inicio = Reloj::now();
  const auto fin = inicio + std::chrono::duration<double>(segundos);
  while (Reloj::now() < fin) {
    Secuencia(tel, 50);
    llamadas += 50;
  }
  return llamadas / std::chrono::duration<double>(Reloj::now() - inicio).count();
}

void Informar(const char* motor, double segundos, int llamadas) {
  if (llamadas > 0) {
    Telefono tel;
    Secuencia(tel, 1);  // opens the connection outside the count
    const auto inicio = Reloj::now();
    const double procesador = SegundosProcesador();
    Secuencia(tel, llamadas);
    const double cpu = SegundosProcesador() - procesador;
    const double s = std::chrono::duration<double>(Reloj::now() - inicio).count();
    std::printf("%-10s %-17s %9d calls in %.3f s (%.0f calls/s); processor %.3f s (%.0f calls/s)\n",
                motor, "kept connection", llamadas, s, llamadas / s, cpu, llamadas / cpu);
    ConexionCompartida::Descartar();
    return;
  }
  for (bool reutilizar : {true, false}) {
    ConexionCompartida::FijarReutilizar(reutilizar);
    const double porSegundo = Medir(reutilizar ? segundos : segundos / 3);
    std::printf("%-10s %-17s %9.0f calls/s (%.0f statements/s)\n", motor,
                reutilizar ? "kept connection" : "connection a call", porSegundo, porSegundo * 4);
  }
  ConexionCompartida::FijarReutilizar(true);
  ConexionCompartida::Descartar();
}

void MedirSqlite(SQLHENV h, const std::string& dir, double segundos, int llamadas) {
  const std::string base = dir + "/hotel.db";
  const std::string crear = std::string(SENTREL_RAIZ) + "/scripts/crear-base-sqlite.sh " + base +
                            " " + dir + "/sqlite.ini >/dev/null";
  if (std::system(crear.c_str()) != 0) std::exit(1);
  const std::string sqlite = "Driver=SQLite3;Database=" + base + ";NoCreat=1;JournalMode=WAL";
  Ejecutar(h, sqlite, LlenarProductos(false));
  Ejecutar(h, sqlite,
           "INSERT INTO Habitaciones (NroHabitacion, ReservaId) VALUES ('101', 5001), ('102', 0)");
  std::filesystem::copy_file(dir + "/sqlite.ini", dir + "/odbc.ini");
  std::printf("Productos: %d rows; ListarTodo(\"005\") returns 20 of them\n", kProductos);
  Informar("SQLite", segundos, llamadas);
}

void MedirPostgres(SQLHENV h, const std::string& dir, double segundos, int llamadas) {
  const char* puerto = std::getenv("SENTREL_PG_PORT");
  if (puerto) {
    const std::string admin =
        std::string("Driver=PostgreSQL ANSI;Servername=127.0.0.1;Database=postgres;Port=") + puerto;
    const std::string nombre = "sentrel_bench_" + std::to_string(getpid());
    Ejecutar(h, admin, "CREATE DATABASE " + nombre);
    const std::string pg = std::string("Driver=PostgreSQL ANSI;Servername=127.0.0.1;Port=") +
                           puerto + ";Database=" + nombre;
    std::ifstream esquema(std::string(SENTREL_RAIZ) + "/captura/sql/esquema-postgresql.sql");
    std::stringstream texto;
    texto << esquema.rdbuf();
    Ejecutar(h, pg, texto.str());
    Ejecutar(h, pg, LlenarProductos(true));
    Ejecutar(h, pg, "INSERT INTO Habitaciones (NroHabitacion, ReservaId) VALUES ('101', 5001)");
    Ejecutar(h, pg, "ANALYZE");
    auto c = Conexion::Abrir(h, pg);
    if (!c) Morir(pg, c.Falla());
    auto fsync = c.Dato()->Consultar("SHOW fsync");
    if (!fsync) Morir("SHOW fsync", fsync.Falla());
    std::printf("PostgreSQL with fsync %s\n",
                fsync.Dato()->Campo(std::size_t{0}).Dato().ATexto().Dato().c_str());
    Escribir(dir + "/odbc.ini",
             "[Tavro_Datos]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\n"
             "Port=" +
                 std::string(puerto) + "\nDatabase=" + nombre + "\n");
    Informar("PostgreSQL", segundos, llamadas);
    Ejecutar(h, admin, "DROP DATABASE " + nombre + " WITH (FORCE)");
  } else {
    std::printf("PostgreSQL: skipped (no SENTREL_PG_PORT; see the command above)\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "es_PE.UTF-8");
  const double segundos = argc > 1 ? std::atof(argv[1]) : 3.0;
  const std::string motor = argc > 2 ? argv[2] : "";
  const int llamadas = argc > 3 ? std::atoi(argv[3]) : 0;
  if (motor.empty()) {
    const std::string yo = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string s = std::to_string(segundos);
    return std::system((yo + " " + s + " sqlite && " + yo + " " + s + " postgresql").c_str()) == 0
               ? 0
               : 1;
  }
  char plantilla[] = "/tmp/sentrel-bench.XXXXXX";
  const std::string dir = mkdtemp(plantilla);
  Escribir(dir + "/odbcinst.ini", std::string("[SQLite3]\nDriver=") + kDrivers +
                                      "libsqlite3odbc.so\n\n[PostgreSQL ANSI]\nDriver=" + kDrivers +
                                      "psqlodbca.so\n");
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);

  SQLHENV h = SQL_NULL_HENV;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h);
  ManejadorEntorno entorno(h);
  SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);

  if (motor == "sqlite") {
    MedirSqlite(h, dir, segundos, llamadas);
  } else {
    MedirPostgres(h, dir, segundos, llamadas);
  }
  std::filesystem::remove_all(dir);
}
