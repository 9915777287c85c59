// The installed program end to end: Sentrel offscreen in a program directory
// of its own, a real SQLite hotel database, the exchange on a pseudo-terminal.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "prueba/DirectorioPrueba.h"
#include "prueba/SalidaOrden.h"
#include "simulador/CentralTcp.h"
#include "simulador/LineaCentral.h"
#include "simulador/LlamadaPrueba.h"
#include "simulador/PuertoSimulado.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string Comillas(const std::string& texto) {
  std::string r = "'";
  for (char c : texto) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

// Context switches of every thread of a process: they only grow when it wakes up.
long Despertares(pid_t pid) {
  long total = 0;
  std::error_code ec;
  for (const auto& hilo : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream estado(hilo.path() / "status");
    for (std::string linea; std::getline(estado, linea);) {
      if (linea.find("ctxt_switches:") != std::string::npos) {
        total += std::stol(linea.substr(linea.find(':') + 1));
      }
    }
  }
  return total;
}

class SentrelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    programa = dir.Ruta("programa");
    fs::create_directory(programa);
    fs::copy_file(SENTREL_PROGRAMA, programa + "/Sentrel");
    fs::copy_file(SENTREL_CAPTURA, programa + "/libcaptura.so");
    fs::copy_file(SENTREL_SERVICIO, programa + "/sentrel-servicio");
    datos = programa;
    base = dir.Ruta("tavro.db");
    odbcIni = dir.Ruta("odbc.ini");
    ASSERT_TRUE(SalidaOrden(std::string(SENTREL_RAIZ) + "/scripts/crear-base-sqlite.sh --ejemplo " +
                            base + " " + odbcIni));
    fs::create_directory(dir.Ruta("xdg"));
    fs::permissions(dir.Ruta("xdg"), fs::perms::owner_all);
  }

  void TearDown() override {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  void Ini(const std::string& puerto, int tiempo, const std::string& mas = "") {
    DirectorioPrueba::Escribir(datos + "/CAPTURA.INI",
                               "[configura]\npuerto=" + puerto +
                                   "\nbseg=9600\nbdat=8\npari=None\nbpar=1\n[Rutas]\nFile=\n"
                                   "[App]\nTimeConexion=" +
                                   std::to_string(tiempo) + "\n" + mas);
  }

  // The hotel's day-first dates unless told.
  void Iniciar(const char* locale = "es_PE.UTF-8") { pid = Lanzar("errores.txt", locale); }

  // The program in a process of its own, its standard error to a file.
  pid_t Lanzar(const std::string& errores, const char* locale = "es_PE.UTF-8") {
    const pid_t hijo = ::fork();
    if (hijo != 0) return hijo;
    if (argumentos.empty()) {
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else {
      for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        ::unsetenv(variable);
      }
    }
    ::setenv("ODBCINI", odbcIni.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.Ruta("xdg").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.Ruta("xdg").c_str(), 1);  // the window's size
    ::setenv("LC_ALL", locale, 1);
    std::freopen(dir.Ruta(errores).c_str(), "w", stderr);
    std::vector<char*> argv = {const_cast<char*>("Sentrel")};
    for (auto& argumento : argumentos) argv.push_back(argumento.data());
    argv.push_back(nullptr);
    ::execv((programa + "/Sentrel").c_str(), argv.data());
    ::_exit(127);
  }

  // The wait status once the program has ended, nothing when it is still running.
  std::optional<int> Fin(std::chrono::milliseconds limite) { return Fin(pid, limite); }
  static std::optional<int> Fin(pid_t& proceso, std::chrono::milliseconds limite) {
    const auto hasta = std::chrono::steady_clock::now() + limite;
    do {
      int estado = 0;
      if (::waitpid(proceso, &estado, WNOHANG) == proceso) {
        proceso = -1;
        return estado;
      }
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < hasta);
    return std::nullopt;
  }

  std::string Sql(const std::string& consulta) {
    return SalidaOrden("sqlite3 -separator '|' " + base + " " + Comillas(consulta))
        .value_or("fallo");
  }

  bool EsperarFilas(int cuantas, std::chrono::milliseconds limite) {
    const auto hasta = std::chrono::steady_clock::now() + limite;
    const std::string esperado = std::to_string(cuantas) + "\n";
    while (Sql("SELECT COUNT(*) FROM telefonos") != esperado) {
      if (std::chrono::steady_clock::now() > hasta) return false;
      std::this_thread::sleep_for(100ms);
    }
    return true;
  }

  DirectorioPrueba dir;
  // Where CAPTURA.INI, the journal and the COMn links are.
  std::string programa, datos, base, odbcIni;
  // Given to the program; with any, it runs with no display variables.
  std::vector<std::string> argumentos;
  pid_t pid = -1;
};

TEST_F(SentrelTest, LasLlamadasLleganALaBaseConSusPreciosYCargos) {
  // The shared-cost line is charged in this hotel.
  Sql("UPDATE Productos SET PrecioVenta = 0.5 WHERE CodigosTelefonicos = '0801'");
  Ini("1", 2);
  PuertoSimulado central(programa, 1);
  Iniciar();
  ASSERT_TRUE(central.EsperarApertura(15s));
  std::this_thread::sleep_for(1s);  // what waits at the opening is thrown away

  std::string rafaga =
      LineaCentral::Titulo(15, 3, 2024, 10, 20) + "\r\n" + LineaCentral::Encabezado() + "\r\n";
  for (const auto& l : {
           // "00346" beats "0034" (the longest prefix): 4.50 a minute, 2 min 10 s = 3 minutes.
           LlamadaPrueba("2101", "0034612345678", 130, 1),
           // Toll-free at 0.00: stored, nothing to charge.
           LlamadaPrueba(" 103", "080012345", 310, 2),
           // Shared cost at 0.50: 5 min 10 s gives 6 x 0.50 of total, quantity 1.
           LlamadaPrueba(" 111", "080112345", 310, 3),
           // Local, priced by its first digit "4": 0.30, one minute.
           LlamadaPrueba("2105", "4561234", 60, 4),
           // Arequipa "054" at 0.90 from a room with no stay: stored, no charge.
           LlamadaPrueba(" 102", "0541234567", 180, 5),
           // Mexico "0052" at 3.00, 1 h 0 min 20 s: the hour counts, 61 minutes.
           LlamadaPrueba(" 108", "0052155512345", 3620, 6),
           // 20 s written hh:mm:ss: not a call for the exchange's check.
           LlamadaPrueba(" 114", "4561234", 20, 7),
       }) {
    rafaga += l.Texto() + "\r\n";
  }
  // Germany "0049" at 3.50, 20 s in a duration field that passes the check
  // (positions 1-3 read 100) while its parts say 0 h 0 min 20 s: free.
  std::string corta = LlamadaPrueba(" 120", "0049301234567", 0, 8).Texto();
  corta.replace(43, 10, "100:000:20");
  rafaga += corta + "\r\n";
  ASSERT_TRUE(central.Enviar(rafaga));
  ASSERT_TRUE(EsperarFilas(7, 20s)) << Sql("SELECT * FROM telefonos");

  EXPECT_EQ(Sql("SELECT Anexo, rtrim(Discado), Tiempo, Codigo, Reservaid, HabitacionId, "
                "printf('%.2f', PrecioVenta), printf('%.2f', PrecioCosto), ProductoId, MonedaId, "
                "printf('%.1f', TipoCambio) FROM telefonos ORDER BY Codigo"),
            "101|0034612345678| 00:02:10 |0001|5001|1|4.50|2.00|11|1|3.5\n"
            "103|080012345| 00:05:10 |0002|5002|3|0.00|0.00|50|1|3.5\n"
            "111|080112345| 00:05:10 |0003|5005|11|0.50|0.00|51|1|3.5\n"
            "105|4561234| 00:01:00 |0004|5003|5|0.30|0.10|62|1|3.5\n"
            "102|0541234567| 00:03:00 |0005|0|2|0.90|0.30|37|1|3.5\n"
            "108|0052155512345| 01:00:20 |0006|5004|8|3.00|1.10|2|1|3.5\n"
            "120|0049301234567|100:000:20|0008|5008|20|3.50|1.25|15|1|3.5\n");
  EXPECT_EQ(Sql("SELECT Fecha, Hora FROM telefonos WHERE Codigo = '0001'"), "15/03/2024|10:20\n");
  EXPECT_EQ(Sql("SELECT ComandaId, ReservaId, HabitacionId, ProductoID, "
                "printf('%.2f', PrecioUnitario), printf('%.2f', Cantidad), puntoventaId, "
                "rtrim(Discado), MonedaId, printf('%.1f', TipoCambio) "
                "FROM CuentasCorrientes ORDER BY CuentaCorrienteId"),
            "0|5001|1|11|4.50|3.00|6|0034612345678|1|3.5\n"
            "0|5005|11|51|0.50|1.00|6|080112345|1|3.5\n"
            "0|5003|5|62|0.30|1.00|6|4561234|1|3.5\n"
            "0|5004|8|2|3.00|61.00|6|0052155512345|1|3.5\n");

  // The check timer wakes the program every second during the burst; once the
  // burst has ended by its time-out the program sleeps until the next call.
  const long enRafaga = Despertares(pid);
  std::this_thread::sleep_for(1200ms);
  EXPECT_GT(Despertares(pid), enRafaga);
  std::this_thread::sleep_for(2s);
  const long tranquilo = Despertares(pid);
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(Despertares(pid), tranquilo);

  // A termination request ends it cleanly, without a question.
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  const auto estado = Fin(10s);
  ASSERT_TRUE(estado) << "Sentrel did not end on SIGTERM";
  EXPECT_TRUE(WIFEXITED(*estado));
  EXPECT_EQ(WEXITSTATUS(*estado), 0);
}

// Calls from rooms with and without a stay, each with its own number, so
// that every call and every charge can be counted once.
std::string Rafaga(int desde, int cuantas) {
  static const char* const kAnexos[] = {"2101", " 102", "2105", "2108", " 111"};
  std::string texto;
  for (int i = desde; i < desde + cuantas; ++i) {
    texto += LlamadaPrueba(kAnexos[i % 5], "00346" + std::to_string(10000000 + i), 130, i).Texto() +
             "\r\n";
  }
  return texto;
}

class SentrelMuertoTest : public SentrelTest {
 protected:
  // Starts the program on a fresh line linked as COM1 and waits for it to open it.
  void Arrancar() {
    central.reset();
    central.emplace(datos, 1);
    Iniciar();
    ASSERT_TRUE(central->EsperarApertura(15s));
    std::this_thread::sleep_for(1s);  // what waits at the opening is thrown away
  }

  void Matar() {
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_TRUE(Fin(10s));
  }

  // Every line stored once, every charge posted once.
  void EsperarUnaVezCada(int llamadas, std::chrono::milliseconds limite = 60s) {
    ASSERT_TRUE(EsperarFilas(llamadas, limite)) << Sql("SELECT COUNT(*) FROM telefonos");
    EXPECT_EQ(Sql("SELECT COUNT(DISTINCT Codigo) FROM telefonos"), std::to_string(llamadas) + "\n");
    // Room 102 has no stay: four calls in five are charged.
    EXPECT_EQ(Sql("SELECT COUNT(*), COUNT(DISTINCT Discado) FROM CuentasCorrientes"),
              std::to_string(llamadas * 4 / 5) + "|" + std::to_string(llamadas * 4 / 5) + "\n");
  }

  std::optional<PuertoSimulado> central;
};

// Killed during the half-second wait at the start of a burst: the lines were
// received but never handled. They are posted at the next start.
TEST_F(SentrelMuertoTest, LoRecibidoAntesDeMorirSeRegistraAlVolver) {
  Ini("1", 2);
  Arrancar();
  ASSERT_TRUE(central->Enviar(Rafaga(0, 5)));
  std::this_thread::sleep_for(200ms);
  Matar();
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM telefonos"), "0\n");

  Arrancar();
  EsperarUnaVezCada(5);
  ASSERT_TRUE(central->Enviar(Rafaga(5, 5)));
  EsperarUnaVezCada(10);
}

// Killed while posting a long burst: what was stored stays once, the rest
// is posted at the next start, nothing twice.
TEST_F(SentrelMuertoTest, MuertoMientrasRegistraNadaSeDobla) {
  Ini("1", 2);
  Arrancar();
  ASSERT_TRUE(central->Enviar(Rafaga(0, 400)));
  const auto hasta = std::chrono::steady_clock::now() + 30s;
  while (std::stoi(Sql("SELECT COUNT(*) FROM telefonos")) < 20 &&
         std::chrono::steady_clock::now() < hasta) {
    std::this_thread::sleep_for(5ms);
  }
  Matar();
  Arrancar();
  EsperarUnaVezCada(400);
}

// The station on a PostgreSQL database of its own (the test cluster).
class SentrelPostgresTest : public SentrelMuertoTest {
 protected:
  void SetUp() override {
    const char* puerto = std::getenv("SENTREL_PG_PORT");
    if (!puerto) GTEST_SKIP() << "no PostgreSQL test cluster (SENTREL_PG_PORT)";
    SentrelMuertoTest::SetUp();
    psql = "psql -X -q -At -v ON_ERROR_STOP=1 -h 127.0.0.1 -p " + std::string(puerto);
    nombre = "sentrel_e2e_" + std::to_string(::getpid());
    const std::string sql = std::string(SENTREL_RAIZ) + "/captura/sql/";
    ASSERT_TRUE(SalidaOrden(psql + " -d postgres -c 'CREATE DATABASE " + nombre + "'"));
    creada = true;
    ASSERT_TRUE(SalidaOrden(psql + " -d " + nombre + " -f " + sql + "esquema-postgresql.sql -f " +
                            sql + "datos-ejemplo.sql"));
    DirectorioPrueba::Escribir(odbcIni,
                               "[Tavro_Datos]\nDriver=PostgreSQL Unicode\n"
                               "Servername=127.0.0.1\nPort=" +
                                   std::string(puerto) + "\nDatabase=" + nombre + "\n");
  }
  void TearDown() override {
    SentrelMuertoTest::TearDown();
    if (creada) SalidaOrden(psql + " -d postgres -c 'DROP DATABASE " + nombre + " WITH (FORCE)'");
  }

  std::string Pg(const std::string& consulta) {
    return SalidaOrden(psql + " -d " + nombre + " -c " + Comillas(consulta)).value_or("fallo");
  }

  std::string psql, nombre;
  bool creada = false;
};

// Killed with the rows of a receive event posted and not committed (the
// last call's row held in the server): after the restart every call and
// every charge once.
TEST_F(SentrelPostgresTest, MuertoAntesDeConfirmarCadaLlamadaUnaVez) {
  Pg("CREATE FUNCTION retener() RETURNS trigger AS $$ BEGIN "
     "IF rtrim(NEW.Discado) = '0034610000009' THEN PERFORM pg_sleep(120); END IF; RETURN NEW; END "
     "$$ "
     "LANGUAGE plpgsql");
  Pg("CREATE TRIGGER retener BEFORE INSERT ON telefonos FOR EACH ROW EXECUTE FUNCTION retener()");
  Ini("1", 2);
  Arrancar();
  ASSERT_TRUE(central->Enviar(Rafaga(0, 10)));
  const std::string retenida =
      "SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep' AND datname = '" +
      nombre + "'";
  const auto hasta = std::chrono::steady_clock::now() + 30s;
  while (Pg(retenida) != "1\n" && std::chrono::steady_clock::now() < hasta) {
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_EQ(Pg(retenida), "1\n");
  Matar();
  // The killed station's server process still sleeps, holding the table.
  Pg("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE wait_event = 'PgSleep' AND "
     "datname = '" +
     nombre + "'");
  Pg("DROP TRIGGER retener ON telefonos");

  Arrancar();
  const auto limite = std::chrono::steady_clock::now() + 60s;
  while (Pg("SELECT COUNT(*) FROM telefonos") != "10\n" &&
         std::chrono::steady_clock::now() < limite) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(Pg("SELECT COUNT(*), COUNT(DISTINCT Codigo) FROM telefonos"), "10|10\n");
  EXPECT_EQ(Pg("SELECT COUNT(*), COUNT(DISTINCT Discado) FROM CuentasCorrientes"), "8|8\n");
}

// Peak resident memory of a process, in kB.
long PicoMemoriaKb(pid_t pid) {
  std::ifstream estado("/proc/" + std::to_string(pid) + "/status");
  for (std::string linea; std::getline(estado, linea);) {
    if (linea.starts_with("VmHWM:")) return std::stol(linea.substr(6));
  }
  return -1;
}

// An exchange emptying its buffer sends for minutes without a pause, each
// piece arriving before the start-of-burst wait could end: the station stays
// up and stores the calls while the stream goes on, each once.
TEST_F(SentrelMuertoTest, EnvioSinPausaSeRegistraMientrasDura) {
  Ini("1", 2);
  Arrancar();
  const int llamadas = 750;  // about 60 s at 8 bytes every 8 ms
  const std::string todo = Rafaga(0, llamadas);
  const auto inicio = std::chrono::steady_clock::now();
  auto proximaRevision = inicio + 10s;
  for (std::size_t i = 0; i < todo.size(); i += 8) {
    ASSERT_TRUE(central->Enviar(std::string_view(todo).substr(i, 8)));
    std::this_thread::sleep_until(inicio + (i / 8 + 1) * 8ms);
    if (std::chrono::steady_clock::now() < proximaRevision) continue;
    proximaRevision += 5s;
    const auto enviadas = std::count(todo.begin(), todo.begin() + i, '\r');
    const int guardadas = std::stoi(Sql("SELECT COUNT(*) FROM telefonos"));
    EXPECT_GT(2 * guardadas, enviadas) << "calls wait for the stream to end";
    ASSERT_FALSE(Fin(0ms)) << "Sentrel died during the stream";
  }
  EsperarUnaVezCada(llamadas);
}

// Megabytes with no line end at once must not hold the window: the calls
// after them are stored within seconds, in bounded memory.
TEST_F(SentrelMuertoTest, EnvioEnormeNoDetieneLaEstacion) {
  Ini("1", 2);
  Arrancar();
  ASSERT_TRUE(central->Enviar(std::string(64 << 20, 'x')));
  ASSERT_TRUE(central->Enviar(Rafaga(0, 5)));
  EsperarUnaVezCada(5, 60s);
  EXPECT_LT(PicoMemoriaKb(pid), 150 * 1024);
  // Bytes that can no longer be part of a call count as done: the journal compacts.
  EXPECT_LT(fs::file_size(programa + "/recepcion.diario"), 4u << 20);
}

// A day-first exchange on a machine in the C locale (month first): the
// setting makes each date the one the exchange sent, written in the
// machine's order.
TEST_F(SentrelTest, OrdenDeFechasDeLaCentralEnElLocaleC) {
  Ini("1", 2, "[Central]\nOrdenFecha=DMA\n");
  PuertoSimulado central(programa, 1);
  Iniciar("C");
  ASSERT_TRUE(central.EsperarApertura(15s));
  std::this_thread::sleep_for(1s);
  auto diciembre = LlamadaPrueba("2101", "0034612345678", 130, 1);
  diciembre.Dia = 7;
  diciembre.Mes = 12;
  diciembre.Anio = 2026;
  ASSERT_TRUE(central.Enviar(diciembre.Texto() + "\r\n" +
                             LlamadaPrueba(" 103", "080012345", 310, 2).Texto() + "\r\n"));
  ASSERT_TRUE(EsperarFilas(2, 20s)) << Sql("SELECT * FROM telefonos");
  EXPECT_EQ(Sql("SELECT Codigo, Fecha FROM telefonos ORDER BY Codigo"),
            "0001|12/07/2026\n0002|03/15/2024\n");
}

// Answered without a display, a port or a settings file.
TEST_F(SentrelTest, AyudaVersionYArgumentoDesconocido) {
  const std::string sentrel =
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + programa + "/Sentrel";
  EXPECT_EQ(SalidaOrden(sentrel + " --version"), "Sentrel " SENTREL_VERSION "\n");
  EXPECT_NE(SalidaOrden(sentrel + " --help").value_or("").find("Uso: Sentrel"), std::string::npos);
  EXPECT_EQ(std::system((sentrel + " --desconocido 2>/dev/null").c_str()), 2 << 8);
  EXPECT_EQ(std::system((sentrel + " --directorio " + programa + "/falta 2>/dev/null").c_str()),
            2 << 8);
  // The window needs a screen; without one it points to the service.
  const auto sinPantalla = SalidaOrden(sentrel + " 2>&1; echo $?");
  EXPECT_NE(sinPantalla.value_or("").find("Sentrel --servicio"), std::string::npos);
  EXPECT_TRUE(sinPantalla.value_or("").ends_with("\n2\n")) << sinPantalla.value_or("");
  EXPECT_FALSE(fs::exists(programa + "/CAPTURA.INI"));
}

// A system service: no display variables, its directory elsewhere, no Gui
// or Widgets library in the process; a termination asked in the middle of a
// burst ends it at once and the calls are there after the next start.
TEST_F(SentrelMuertoTest, ComoServicioSinPantalla) {
  datos = dir.Ruta("estado");
  fs::create_directory(datos);
  argumentos = {"--servicio", "--directorio", datos};
  Ini("1", 2);
  Arrancar();
  const std::string mapas = DirectorioPrueba::Leer("/proc/" + std::to_string(pid) + "/maps");
  EXPECT_NE(mapas.find("libQt6Core"), std::string::npos);
  EXPECT_EQ(mapas.find("libQt6Gui"), std::string::npos);
  EXPECT_EQ(mapas.find("libQt6Widgets"), std::string::npos);
  ASSERT_TRUE(central->Enviar(Rafaga(0, 5)));
  EsperarUnaVezCada(5, 20s);
  EXPECT_TRUE(fs::exists(datos + "/sentrel.bloqueo"));
  EXPECT_FALSE(fs::exists(programa + "/recepcion.diario"));

  ASSERT_TRUE(central->Enviar(Rafaga(5, 5)));
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  const auto estado = Fin(10s);
  ASSERT_TRUE(estado) << "the service did not end on SIGTERM";
  EXPECT_TRUE(WIFEXITED(*estado) && WEXITSTATUS(*estado) == 0) << *estado;
  Arrancar();
  EsperarUnaVezCada(10, 20s);
}

// The USB adapter unplugged and plugged in again: the calls sent after it
// are stored without a restart, one with line noise in its number as well.
TEST_F(SentrelMuertoTest, LaLineaDesenchufadaVuelveSola) {
  Ini("1", 2);
  Arrancar();
  for (const char* archivo : {"recepcion.diario", "recepcion.completado", "sentrel.bloqueo"}) {
    EXPECT_EQ(fs::status(programa + "/" + archivo).permissions(),
              fs::perms::owner_read | fs::perms::owner_write)
        << archivo;
  }
  ASSERT_TRUE(central->Enviar(Rafaga(0, 5)));
  EsperarUnaVezCada(5, 20s);
  // Pulled in the middle of one call's line, plugged back in the middle of
  // another's: the two pieces make a valid line, for a call nobody made.
  ASSERT_TRUE(central->Enviar(Rafaga(20, 1).substr(0, 30)));
  std::this_thread::sleep_for(300ms);
  central.reset();  // the terminal closed, its link gone
  std::this_thread::sleep_for(300ms);
  central.emplace(programa, 1);
  // Room 102 has no stay: no charge; a NUL where the fifth digit was.
  std::string ruido = LlamadaPrueba(" 102", "0034610000010", 130, 10).Texto();
  ruido[11] = '\0';
  ASSERT_TRUE(central->Enviar(Rafaga(21, 1).substr(30) + Rafaga(5, 5) + ruido + "\r\n"));
  EsperarUnaVezCada(11, 20s);
  EXPECT_EQ(Sql("SELECT Codigo FROM telefonos WHERE rtrim(Discado) = '0034 10000010'"), "0010\n");
  const std::string errores = DirectorioPrueba::Leer(dir.Ruta("errores.txt"));
  EXPECT_NE(errores.find("Puerto COM 1: línea perdida"), std::string::npos) << errores;
  EXPECT_NE(errores.find("Puerto COM 1: línea recuperada"), std::string::npos) << errores;
}

// A file's identity and mode on disk: a rewrite by rename changes them.
std::string Identidad(const std::string& ruta) {
  struct stat st {};
  if (::stat(ruta.c_str(), &st) != 0) return "falta";
  return std::to_string(st.st_ino) + " " + std::to_string(st.st_mode & 07777);
}

// With calls waiting for the database a second start on the same directory
// ends at once, touching nothing: the first station's queue (a log it only
// appends to) stays whole and every call is stored once when the database
// is back.
TEST_F(SentrelMuertoTest, UnSegundoInicioNoTocaLaColaDelPrimero) {
  Ini("1", 2);
  Arrancar();
  fs::rename(base, base + ".fuera");
  ASSERT_TRUE(central->Enviar(Rafaga(0, 5)));
  const std::string cola = programa + "/pendientes.dat";
  std::string antes;
  for (auto hasta = std::chrono::steady_clock::now() + 20s;
       std::chrono::steady_clock::now() < hasta &&
       (antes.empty() || DirectorioPrueba::Leer(cola) != antes);) {
    antes = DirectorioPrueba::Leer(cola);
    std::this_thread::sleep_for(1500ms);
  }
  const std::string identidad = Identidad(cola);
  EXPECT_TRUE(identidad.ends_with(" 384")) << "the queue is not 0600: " << identidad;

  pid_t segundo = Lanzar("errores2.txt");
  const auto estado = Fin(segundo, 15s);
  ASSERT_TRUE(estado) << "the second start did not end";
  EXPECT_TRUE(WIFEXITED(*estado) && WEXITSTATUS(*estado) != 0);
  EXPECT_NE(DirectorioPrueba::Leer(dir.Ruta("errores2.txt")).find("Sentrel ya está en marcha en"),
            std::string::npos);
  EXPECT_EQ(Identidad(cola), identidad);
  EXPECT_TRUE(DirectorioPrueba::Leer(cola).starts_with(antes));

  fs::rename(base + ".fuera", base);
  EsperarUnaVezCada(5);
}

// The exchange on the network, in both ways: listening on 127.0.0.1 for the
// station to connect (Cliente), or connecting to the station (Servidor).
class SentrelRedTest : public SentrelMuertoTest, public ::testing::WithParamInterface<const char*> {
 protected:
  bool Escucha() const { return std::string(GetParam()) == "Servidor"; }

  void IniRed() {
    puerto = Escucha() ? CentralTcp::PuertoLibre() : red.Puerto();
    DirectorioPrueba::Escribir(datos + "/CAPTURA.INI",
                               "[Central]\nOrigen=Red\nModo=" + std::string(GetParam()) +
                                   "\nDireccion=127.0.0.1\nPermitida=127.0.0.1\nPuerto=" +
                                   std::to_string(puerto) + "\n[App]\nTimeConexion=2\n");
  }

  bool Enlazar() {
    return Escucha() ? red.Conectar("127.0.0.1", puerto, 15s) : red.EsperarConexion(15s);
  }

  void Conectar() {
    Iniciar();
    ASSERT_TRUE(Enlazar());
  }

  CentralTcp red;
  uint16_t puerto = 0;
};

// A burst, a connection dropped in the middle of a line (the exchange sends
// the line again whole, after another line's tail), the station restarted
// while the exchange keeps its lines: every call stored once, none made of
// two lines.
TEST_P(SentrelRedTest, LaCentralEnLaRedNoPierdeNiDobla) {
  IniRed();
  Conectar();
  ASSERT_TRUE(red.Enviar(Rafaga(0, 5)));
  EsperarUnaVezCada(5, 20s);

  const std::string cortada = Rafaga(5, 1);
  ASSERT_TRUE(red.Enviar(cortada.substr(0, 40)));
  std::this_thread::sleep_for(300ms);
  red.Cortar();
  ASSERT_TRUE(Enlazar());
  // The new connection begins in the middle of another line: not joined to the old one's head.
  ASSERT_TRUE(red.Enviar(Rafaga(20, 1).substr(40) + cortada + Rafaga(6, 4)));
  EsperarUnaVezCada(10, 20s);
  const std::string errores = DirectorioPrueba::Leer(dir.Ruta("errores.txt"));
  const std::string nombre = "Central 127.0.0.1:" + std::to_string(puerto);
  EXPECT_NE(errores.find(nombre + ": línea perdida"), std::string::npos) << errores;
  EXPECT_NE(errores.find(nombre + ": línea recuperada"), std::string::npos) << errores;

  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  ASSERT_TRUE(Fin(10s));
  Conectar();
  ASSERT_TRUE(red.Enviar(Rafaga(10, 5)));
  EsperarUnaVezCada(15, 20s);
}

// Bad input from the network: megabytes without a line end, binary noise, a
// connection made and dropped over and over. The station stays up in bounded
// memory and the calls after it are stored.
TEST_P(SentrelRedTest, RuidoYConexionesSueltasNoDetienenLaEstacion) {
  IniRed();
  Conectar();
  std::mt19937 azar(5);
  std::string ruido(4 << 20, 'x');
  for (std::size_t i = ruido.size() / 2; i < ruido.size(); ++i)
    ruido[i] = static_cast<char>(azar());
  ASSERT_TRUE(red.Enviar(ruido));
  for (int i = 0; i < 5; ++i) {
    red.Cortar();
    ASSERT_TRUE(Enlazar());
  }
  ASSERT_TRUE(red.Enviar("\r\n" + Rafaga(0, 5)));
  EsperarUnaVezCada(5, 30s);
  EXPECT_LT(PicoMemoriaKb(pid), 150 * 1024);
  EXPECT_FALSE(Fin(0ms));
}

INSTANTIATE_TEST_SUITE_P(Modos, SentrelRedTest, ::testing::Values("Cliente", "Servidor"));

// The station listening: an exchange that restarted connects again while
// its old connection stays open and silent; the new one takes its place.
class SentrelEscuchaTest : public SentrelRedTest {};

TEST_P(SentrelEscuchaTest, LaCentralReiniciadaReemplazaSuConexionCallada) {
  IniRed();
  Conectar();
  CentralTcp reiniciada;
  ASSERT_TRUE(reiniciada.Conectar("127.0.0.1", puerto, 15s));
  ASSERT_TRUE(reiniciada.Enviar(Rafaga(0, 5)));
  EsperarUnaVezCada(5, 10s);
  EXPECT_TRUE(red.Cerrada(5s));
}

INSTANTIATE_TEST_SUITE_P(Servidor, SentrelEscuchaTest, ::testing::Values("Servidor"));

// Offscreen with no settings file: nobody could fill the dialog in.
TEST_F(SentrelTest, SinAjustesNiPantallaTerminaDiciendoComo) {
  Iniciar();
  const auto estado = Fin(15s);
  ASSERT_TRUE(estado) << "Sentrel kept running with neither settings nor screen";
  EXPECT_TRUE(WIFEXITED(*estado) && WEXITSTATUS(*estado) != 0);
  EXPECT_NE(
      DirectorioPrueba::Leer(dir.Ruta("errores.txt")).find("Falta CAPTURA.INI en " + programa),
      std::string::npos);
  std::vector<std::string> archivos;
  for (const auto& e : fs::directory_iterator(programa)) archivos.push_back(e.path().filename());
  std::sort(archivos.begin(), archivos.end());
  EXPECT_EQ(archivos, (std::vector<std::string>{"Sentrel", "libcaptura.so", "sentrel-servicio"}));
}

TEST_F(SentrelTest, UnPuertoQueNoAbreTerminaElPrograma) {
  Ini("7", 2);
  fs::create_symlink(dir.Ruta("no-existe"), programa + "/COM7");
  Iniciar();
  const auto estado = Fin(15s);
  ASSERT_TRUE(estado) << "Sentrel kept running with no port";
  EXPECT_TRUE(WIFEXITED(*estado));
  EXPECT_NE(WEXITSTATUS(*estado), 0);
  EXPECT_NE(DirectorioPrueba::Leer(dir.Ruta("errores.txt"))
                .find("Puerto no se puede abrir. Intente nuevamente o con otro Puerto..."),
            std::string::npos);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM telefonos"), "0\n");
}

}  // namespace
