// The whole station: calls per second from the exchange's line into the
// database, the time from start to the port opened, idle CPU and memory of
// the installed Sentrel. Run by hand:
//
//   ninja -C build estacion_bench Sentrel captura
//   eval "$(scripts/postgres-prueba.sh iniciar)"     # for PostgreSQL
//   build/bin/estacion_bench [CALLS]
//   scripts/postgres-prueba.sh parar "$SENTREL_PG_DIR"
//
// Without SENTREL_PG_PORT only SQLite is measured.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "prueba/DirectorioPrueba.h"
#include "prueba/SalidaOrden.h"
#include "simulador/GeneradorLlamadas.h"
#include "simulador/PuertoSimulado.h"

using namespace std::chrono_literals;
using Reloj = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kTiempoConexion = 2;

void Escribir(const fs::path& archivo, const std::string& texto) {
  std::ofstream(archivo, std::ios::binary | std::ios::trunc) << texto;
}

double Segundos(Reloj::duration d) { return std::chrono::duration<double>(d).count(); }

// A hotel database with the sample tariffs and rooms, and the command that
// counts its stored calls.
struct Base {
  std::string nombre;
  std::string contar;
  std::string borrar;  // run at the end, when not empty
};

std::optional<Base> BaseSqlite(const fs::path& dir) {
  const auto base = (dir / "tavro.db").string();
  if (!SalidaOrden(std::string(SENTREL_RAIZ) + "/scripts/crear-base-sqlite.sh --ejemplo " + base +
                   " " + (dir / "odbc.ini").string() + " >/dev/null")) {
    return std::nullopt;
  }
  return Base{"SQLite", "sqlite3 " + base + " 'SELECT COUNT(*) FROM telefonos'", ""};
}

std::optional<Base> BasePostgres(const fs::path& dir, const std::string& puerto) {
  const std::string nombre = "sentrel_bench_" + std::to_string(::getpid());
  const std::string psql = "psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p " + puerto;
  const std::string sql = std::string(SENTREL_RAIZ) + "/captura/sql/";
  if (!SalidaOrden(psql + " -d postgres -c 'DROP DATABASE IF EXISTS " + nombre +
                   "' -c 'CREATE DATABASE " + nombre + "' >/dev/null 2>&1") ||
      !SalidaOrden(psql + " -d " + nombre + " -f " + sql + "esquema-postgresql.sql -f " + sql +
                   "datos-ejemplo.sql >/dev/null")) {
    return std::nullopt;
  }
  Escribir(dir / "odbc.ini",
           "[Tavro_Datos]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\n"
           "Port=" +
               puerto + "\nDatabase=" + nombre + "\n");
  return Base{"PostgreSQL", psql + " -At -d " + nombre + " -c 'SELECT COUNT(*) FROM telefonos'",
              psql + " -d postgres -c 'DROP DATABASE " + nombre + " WITH (FORCE)'"};
}

long Contar(const Base& base) {
  const auto texto = SalidaOrden(base.contar);
  return texto ? std::atol(texto->c_str()) : -1;
}

// utime + stime in seconds, and VmRSS in kB.
double CpuSegundos(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string todo((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream campos(todo.substr(todo.rfind(')') + 2));
  std::string campo;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && campos >> campo; ++i) {
    if (i == 14) utime = std::stol(campo);
    if (i == 15) stime = std::stol(campo);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::string Memoria(pid_t pid, const std::string& clave) {
  std::ifstream estado("/proc/" + std::to_string(pid) + "/status");
  for (std::string linea; std::getline(estado, linea);) {
    if (linea.starts_with(clave + ":")) return linea.substr(clave.size() + 1);
  }
  return "?";
}

pid_t Lanzar(const fs::path& programa, const fs::path& dir) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  ::setenv("LC_ALL", "es_PE.UTF-8", 1);
  std::freopen((dir / "errores.txt").c_str(), "w", stderr);
  ::execl((programa / "Sentrel").c_str(), "Sentrel", static_cast<char*>(nullptr));
  ::_exit(127);
}

bool Medir(const std::string& motor, int llamadas) {
  DirectorioPrueba dir;
  fs::permissions(dir.Ruta(), fs::perms::owner_all);
  const fs::path programa = dir.Ruta() / "programa";
  fs::create_directory(programa);
  const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
  fs::copy_file(bin / "Sentrel", programa / "Sentrel");
  fs::copy_file(bin / "libcaptura.so", programa / "libcaptura.so");
  Escribir(programa / "CAPTURA.INI",
           "[configura]\npuerto=1\nbseg=9600\nbdat=8\npari=None\nbpar=1\n[App]\nTimeConexion=" +
               std::to_string(kTiempoConexion) + "\n");
  const auto base = motor == "SQLite" ? BaseSqlite(dir.Ruta())
                                      : BasePostgres(dir.Ruta(), std::getenv("SENTREL_PG_PORT"));
  if (!base) {
    std::cerr << motor << ": the database could not be made\n";
    return false;
  }

  // Every call valid (one minute or more), all at once.
  GeneradorLlamadas generador(42, {1, 6, 2024, 8, 0});
  std::string lineas;
  for (int i = 0; i < llamadas; ++i) lineas += generador.Siguiente(0).Texto() + "\r\n";

  PuertoSimulado central(programa, 1);
  const auto inicio = Reloj::now();
  const pid_t pid = Lanzar(programa, dir.Ruta());
  while (!central.EsperarApertura(0ms)) {
    if (Reloj::now() - inicio > 30s) {
      std::cerr << motor << ": Sentrel did not open the port\n";
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  const double apertura = Segundos(Reloj::now() - inicio);
  std::this_thread::sleep_for(1s);  // what waits at the opening is thrown away

  const auto desde = Reloj::now();
  central.Enviar(lineas);
  const double escrito = Segundos(Reloj::now() - desde);
  long guardadas = 0;
  while ((guardadas = Contar(*base)) < llamadas && Reloj::now() - desde < 600s) {
    std::this_thread::sleep_for(20ms);
  }
  const double total = Segundos(Reloj::now() - desde);

  std::this_thread::sleep_for(std::chrono::seconds(kTiempoConexion + 1));  // the burst ends
  const double cpu0 = CpuSegundos(pid);
  std::this_thread::sleep_for(10s);
  const double cpuReposo = CpuSegundos(pid) - cpu0;
  const std::string rss = Memoria(pid, "VmRSS"), pico = Memoria(pid, "VmHWM");
  ::kill(pid, SIGTERM);
  int estado = 0;
  ::waitpid(pid, &estado, 0);
  if (!base->borrar.empty()) SalidaOrden(base->borrar);

  std::printf("%-10s calls %ld/%d  written in %.3f s  stored in %.3f s  => %.0f calls/s\n",
              motor.c_str(), guardadas, llamadas, escrito, total, guardadas / total);
  std::printf(
      "%-10s start to port open %.0f ms; idle CPU over 10 s %.2f s; VmRSS%s (peak%s); "
      "exit %d\n",
      motor.c_str(), apertura * 1000, cpuReposo, rss.c_str(), pico.c_str(),
      WIFEXITED(estado) ? WEXITSTATUS(estado) : -1);
  return guardadas == llamadas;
}

}  // namespace

int main(int argc, char** argv) {
  const int llamadas = argc > 1 ? std::atoi(argv[1]) : 20000;
  bool bien = Medir("SQLite", llamadas);
  if (std::getenv("SENTREL_PG_PORT") != nullptr) {
    bien = Medir("PostgreSQL", llamadas) && bien;
  } else {
    std::printf("PostgreSQL not measured: start scripts/postgres-prueba.sh first\n");
  }
  return bien ? 0 : 1;
}
