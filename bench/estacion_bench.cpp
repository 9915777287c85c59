// The whole station: calls per second from the exchange's line (a serial
// line, then a TCP connection to an exchange listening on 127.0.0.1) into
// the database, the time from start to the port opened, idle CPU and memory
// of the installed Sentrel. Run by hand:
//
//   ninja -C build estacion_bench Sentrel captura
//   eval "$(scripts/postgres-prueba.sh iniciar --fsync)"   # for PostgreSQL
//   build/bin/estacion_bench [CALLS]
//   build/bin/estacion_bench --flujo [SECONDS]       # a stream without a pause
//   scripts/postgres-prueba.sh parar "$SENTREL_PG_DIR"
//
// Without SENTREL_PG_PORT only SQLite is measured.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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
#include <vector>

#include "prueba/DirectorioPrueba.h"
#include "prueba/SalidaOrden.h"
#include "simulador/CentralTcp.h"
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

// Sentrel installed in a program directory of its own on a database of the
// given engine, with the exchange's line linked as COM1, or the exchange on
// the network; running once Abrir has returned true.
class Estacion {
 public:
  Estacion(const std::string& motor, bool red) : motor_(motor) {
    fs::permissions(dir_.Ruta(), fs::perms::owner_all);
    fs::create_directory(programa_);
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    fs::copy_file(bin / "Sentrel", programa_ / "Sentrel");
    fs::copy_file(bin / "libcaptura.so", programa_ / "libcaptura.so");
    std::string origen = "[configura]\npuerto=1\nbseg=9600\nbdat=8\npari=None\nbpar=1\n";
    if (red) {
      red_.emplace();
      origen = "[Central]\nOrigen=Red\nModo=Cliente\nDireccion=127.0.0.1\nPuerto=" +
               std::to_string(red_->Puerto()) + "\n";
    } else {
      central_.emplace(programa_, 1);
    }
    Escribir(programa_ / "CAPTURA.INI",
             origen + "[App]\nTimeConexion=" + std::to_string(kTiempoConexion) + "\n");
    base_ = motor == "SQLite" ? BaseSqlite(dir_.Ruta())
                              : BasePostgres(dir_.Ruta(), std::getenv("SENTREL_PG_PORT"));
  }
  ~Estacion() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (base_ && !base_->borrar.empty()) SalidaOrden(base_->borrar);
  }

  // Starts Sentrel and waits for it to open the port; the seconds it took.
  std::optional<double> Abrir() {
    if (!base_) {
      std::cerr << motor_ << ": the database could not be made\n";
      return std::nullopt;
    }
    const auto inicio = Reloj::now();
    pid_ = Lanzar(programa_, dir_.Ruta());
    if (red_) {
      if (!red_->EsperarConexion(30s)) {
        std::cerr << motor_ << ": Sentrel did not connect\n";
        return std::nullopt;
      }
      const double conexion = Segundos(Reloj::now() - inicio);
      std::this_thread::sleep_for(1s);  // as below: the start-up over before the clock runs
      return conexion;
    }
    while (!central_->EsperarApertura(0ms)) {
      if (Reloj::now() - inicio > 30s) {
        std::cerr << motor_ << ": Sentrel did not open the port\n";
        return std::nullopt;
      }
      std::this_thread::sleep_for(1ms);
    }
    const double apertura = Segundos(Reloj::now() - inicio);
    std::this_thread::sleep_for(1s);  // what waits at the opening is thrown away
    return apertura;
  }

  // Asks Sentrel to end; its exit status.
  int Terminar() {
    ::kill(pid_, SIGTERM);
    int estado = 0;
    ::waitpid(pid_, &estado, 0);
    pid_ = -1;
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
  }

  long Guardadas() const { return Contar(*base_); }
  bool Enviar(std::string_view bytes) {
    return red_ ? red_->Enviar(bytes) : central_->Enviar(bytes);
  }
  pid_t Pid() const { return pid_; }

 private:
  std::string motor_;
  DirectorioPrueba dir_;
  fs::path programa_ = dir_.Ruta() / "programa";
  std::optional<Base> base_;
  std::optional<PuertoSimulado> central_;
  std::optional<CentralTcp> red_;
  pid_t pid_ = -1;
};

// Every call valid (one minute or more).
std::string Lineas(int llamadas) {
  GeneradorLlamadas generador(42, {1, 6, 2024, 8, 0});
  std::string lineas;
  for (int i = 0; i < llamadas; ++i) lineas += generador.Siguiente(0).Texto() + "\r\n";
  return lineas;
}

// All the calls at once; then the idle station.
bool Medir(const std::string& motor, bool red, int llamadas) {
  Estacion estacion(motor, red);
  const std::string lineas = Lineas(llamadas);
  const auto apertura = estacion.Abrir();
  if (!apertura) return false;

  const auto desde = Reloj::now();
  estacion.Enviar(lineas);
  const double escrito = Segundos(Reloj::now() - desde);
  long guardadas = 0;
  while ((guardadas = estacion.Guardadas()) < llamadas && Reloj::now() - desde < 600s) {
    std::this_thread::sleep_for(20ms);
  }
  const double total = Segundos(Reloj::now() - desde);

  std::this_thread::sleep_for(std::chrono::seconds(kTiempoConexion + 1));  // the burst ends
  const double cpu0 = CpuSegundos(estacion.Pid());
  std::this_thread::sleep_for(10s);
  const double cpuReposo = CpuSegundos(estacion.Pid()) - cpu0;
  const std::string rss = Memoria(estacion.Pid(), "VmRSS"), pico = Memoria(estacion.Pid(), "VmHWM");
  const int salida = estacion.Terminar();

  const std::string nombre = motor + (red ? " TCP" : " serie");
  std::printf("%-16s calls %ld/%d  written in %.3f s  stored in %.3f s  => %.0f calls/s\n",
              nombre.c_str(), guardadas, llamadas, escrito, total, guardadas / total);
  std::printf(
      "%-16s start to port open %.0f ms; idle CPU over 10 s %.2f s; VmRSS%s (peak%s); "
      "exit %d\n",
      nombre.c_str(), *apertura * 1000, cpuReposo, rss.c_str(), pico.c_str(), salida);
  return guardadas == llamadas;
}

// A stream without a pause at the fastest exchange line (921,600 baud, ten
// bits a byte), paced in 10 ms pieces: calls per second stored while it
// streams, and the longest time from a line's end on the wire to its row.
bool MedirFlujo(const std::string& motor, bool red, int segundos) {
  constexpr double kBytesPorSegundo = 92160;
  constexpr auto kPieza = 10ms;
  const auto porPieza = static_cast<std::size_t>(kBytesPorSegundo * 0.010);
  const std::string muestra = Lineas(1);
  const int llamadas = static_cast<int>(kBytesPorSegundo * segundos / muestra.size());
  Estacion estacion(motor, red);
  const std::string lineas = Lineas(llamadas);
  if (!estacion.Abrir()) return false;

  // When each line went on the wire (taken as its piece's start, so a row
  // can never be seen before it), and a second thread counting rows.
  std::vector<std::atomic<Reloj::rep>> enviada(llamadas);
  std::atomic<long> guardadas = 0;
  std::atomic<bool> fin = false;
  double peorAtraso = 0;
  const auto desde = Reloj::now();
  const auto tope = desde + std::chrono::seconds(segundos) + 120s;
  std::thread contador([&] {
    long vistas = 0;
    while (!fin || (vistas < llamadas && Reloj::now() < tope)) {
      const long ahora = estacion.Guardadas();
      const auto cuando = Reloj::now();
      for (; vistas < std::min<long>(ahora, llamadas); ++vistas) {
        const Reloj::time_point salida(Reloj::duration(enviada[vistas].load()));
        peorAtraso = std::max(peorAtraso, Segundos(cuando - salida));
      }
      guardadas = ahora;
      std::this_thread::sleep_for(20ms);
    }
  });
  std::size_t linea = 0;
  for (std::size_t i = 0; i < lineas.size(); i += porPieza) {
    const auto pieza = std::string_view(lineas).substr(i, porPieza);
    const auto ahora = Reloj::now().time_since_epoch().count();
    for (auto p = pieza.find('\r'); p != std::string_view::npos; p = pieza.find('\r', p + 1)) {
      enviada[linea++] = ahora;
    }
    estacion.Enviar(pieza);
    std::this_thread::sleep_until(desde + (i / porPieza + 1) * kPieza);
  }
  const double flujo = Segundos(Reloj::now() - desde);
  const long alTerminar = guardadas;
  fin = true;
  contador.join();
  const double total = Segundos(Reloj::now() - desde);
  const std::string pico = Memoria(estacion.Pid(), "VmHWM");
  estacion.Terminar();

  std::printf(
      "%-16s stream of %d calls in %.1f s: %ld stored while streaming (%.0f calls/s), all in "
      "%.1f s; longest line end to row %.2f s; peak memory%s\n",
      (motor + (red ? " TCP" : " serie")).c_str(), llamadas, flujo, alTerminar, alTerminar / flujo,
      total, peorAtraso, pico.c_str());
  return guardadas == llamadas;
}

}  // namespace

int main(int argc, char** argv) {
  const bool flujo = argc > 1 && std::string(argv[1]) == "--flujo";
  if (flujo) --argc, ++argv;
  const int cantidad = argc > 1 ? std::atoi(argv[1]) : (flujo ? 30 : 20000);
  const auto medir = [&](const std::string& motor) {
    bool bien = true;
    for (const bool red : {false, true}) {
      bien = (flujo ? MedirFlujo(motor, red, cantidad) : Medir(motor, red, cantidad)) && bien;
    }
    return bien;
  };
  bool bien = medir("SQLite");
  if (const char* puerto = std::getenv("SENTREL_PG_PORT")) {
    // Without fsync a commit costs no disk wait: a figure no real server gives.
    const auto fsync = SalidaOrden("psql -X -At -h 127.0.0.1 -p " + std::string(puerto) +
                                   " -d postgres -c 'SHOW fsync'");
    std::printf("PostgreSQL with fsync %s\n",
                fsync ? fsync->substr(0, fsync->find('\n')).c_str() : "?");
    bien = medir("PostgreSQL") && bien;
  } else {
    std::printf("PostgreSQL not measured: start scripts/postgres-prueba.sh first\n");
  }
  return bien ? 0 : 1;
}
