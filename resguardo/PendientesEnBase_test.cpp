// Failed postings kept and re-posted against real databases with real
// faults: every call stored once, every charge posted once.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "ConexionCompartida.h"
#include "Telefono.h"
#include "captura/FalloTransitorio.h"
#include "prueba/ConLocale.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/LineaPrueba.h"
#include "prueba/OdbcDePrueba.h"
#include "prueba/PuertoFalso.h"
#include "prueba/SalidaOrden.h"
#include "prueba/SesionSqlite.h"
#include "prueba/SinSaltarPermisos.h"
#include "prueba/TelefonoPrestado.h"
#include "prueba/VentanaFalsa.h"
#include "resguardo/GestorPendientes.h"

namespace {

using captura::Fallo;
using captura::OdbcDePrueba;
using Motor = OdbcDePrueba::Motor;

constexpr int kLineas = 40;

// Distinct charged calls: extension 100-109, tariff 0051, 2 min 10 s.
std::string Linea(int i) {
  char hora[16];
  std::snprintf(hora, sizeof hora, "%02d:%02d", (10 + i / 60) % 100, i % 60);
  return LineaPrueba(" " + std::to_string(100 + i % 10), "0051" + std::to_string(4000 + i),
                     "07/12/26", hora, "000:02:10");
}

// The station's capture side on a real database: receive handler, queue
// file, log, and a clock the test moves.
class Estacion {
 public:
  using CrearTelefono = ReceptorLlamadas::CrearTelefono;

  explicit Estacion(CrearTelefono crear)
      : receptor_(ventana_, puerto_, crear),
        gestor_(receptor_, cola_, bitacora_, crear, [this] { return ahora_; }) {
    gestor_.Conectar();
  }

  void Recibir(int i) { Recibir(Linea(i)); }

  void Recibir(const std::string& linea) { receptor_.ProcesarRecuperado(linea + "\r\n", 0); }

  // Lines desde to hasta - 1 in one receive event.
  void RecibirJuntas(int desde, int hasta) {
    std::string texto;
    for (int i = desde; i < hasta; ++i) texto += Linea(i) + "\r\n";
    receptor_.ProcesarRecuperado(texto, 0);
  }

  // One due attempt, however long the back-off.
  void Reintentar() {
    if (auto cuando = gestor_.ProximoIntento()) ahora_ = *cuando;
    gestor_.Reintentar();
  }

  // Re-posts until nothing waits (a database just back may still refuse a
  // while).
  void Vaciar() {
    for (int i = 0; i < 100 && gestor_.Pendientes() > 0; ++i) {
      Reintentar();
      if (gestor_.Pendientes() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  GestorPendientes& Gestor() { return gestor_; }
  ReceptorLlamadas& Receptor() { return receptor_; }
  const std::vector<std::string>& Mensajes() const { return mensajes_; }

 private:
  DirectorioPrueba dir_;
  VentanaFalsa ventana_;
  PuertoFalso puerto_;
  ReceptorLlamadas receptor_;
  ColaPendientes cola_{dir_.Ruta(ColaPendientes::kArchivo)};
  std::vector<std::string> mensajes_;
  Bitacora bitacora_{[this](int, const std::string& m) { mensajes_.push_back(m); }};
  GestorPendientes::Instante ahora_{};
  GestorPendientes gestor_;
};

captura::Resultado<std::unique_ptr<captura::_Telefono>> TelefonoReal() {
  return std::unique_ptr<captura::_Telefono>(std::make_unique<captura::Telefono>());
}

// The tariff and the rooms 100-109 (reservation 5000 + room).
std::vector<std::string> Hotel() {
  std::string habitaciones;
  for (int h = 100; h < 110; ++h) {
    habitaciones += (h > 100 ? "," : "") + std::string("(") + std::to_string(h) + ", '" +
                    std::to_string(h) + "', " + std::to_string(5000 + h) + ")";
  }
  return {
      "INSERT INTO Productos (ProductoID, CodigosTelefonicos, PrecioVenta, PrecioCosto, "
      "MonedaId) VALUES (1, '0051', 2.5, 1.25, 1);",
      "INSERT INTO Habitaciones (HabitacionId, NroHabitacion, ReservaId) VALUES " + habitaciones +
          ";"};
}

void CargarHotel(OdbcDePrueba& odbc) {
  for (const auto& sql : Hotel()) odbc.Ejecutar(sql);
}

// Rows per dialled number in a table.
std::map<std::string, long> Filas(OdbcDePrueba& odbc, const std::string& tabla) {
  auto rs = odbc.Consultar("SELECT Discado, COUNT(*) AS n FROM " + tabla + " GROUP BY Discado");
  std::map<std::string, long> r;
  for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext()) {
    r[rs->Campo("Discado").Dato().ATexto().Dato()] = rs->Campo("n").Dato().ALong().Dato();
  }
  return r;
}

void CadaLlamadaYCadaCargoUnaVez(OdbcDePrueba& odbc, int lineas) {
  const auto llamadas = Filas(odbc, "telefonos");
  const auto cargos = Filas(odbc, "CuentasCorrientes");
  EXPECT_EQ(llamadas.size(), static_cast<std::size_t>(lineas));
  EXPECT_EQ(cargos.size(), static_cast<std::size_t>(lineas));
  for (int i = 0; i < lineas; ++i) {
    const std::string discado = "0051" + std::to_string(4000 + i);
    EXPECT_EQ(llamadas.count(discado) ? llamadas.at(discado) : 0, 1) << "call " << discado;
    EXPECT_EQ(cargos.count(discado) ? cargos.at(discado) : 0, 1) << "charge " << discado;
  }
  // Priced as usual: re-posting went through the tariff again.
  auto sinPrecio = odbc.Consultar("SELECT COUNT(*) AS n FROM telefonos WHERE PrecioVenta <> 2.5");
  EXPECT_EQ(sinPrecio->Campo("n").Dato().ALong().Dato(), 0);
}

class BaseSqlite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(locale_.ok()) << "es_PE.UTF-8 locale missing";
    SOLO_EN_PROCESO_PROPIO();
    odbc_ = std::make_unique<OdbcDePrueba>();
    odbc_->Crear(Motor::SQLite);
    base_ = odbc_->Directorio() + "/hotel.db";
    odbc_->Registrar("Driver=SQLite3\nDatabase=" + base_ +
                     "\nNoCreat=1\nJournalMode=WAL\nTimeout=200\n");
    CargarHotel(*odbc_);
  }

  LocalePeruano locale_;
  std::unique_ptr<OdbcDePrueba> odbc_;
  std::string base_;
};

// The file goes away in the middle of a burst (a share unmounted, a restore
// under way) and comes back. Each statement opens its own connection here,
// as the component did originally, so every one of them meets the missing
// file.
TEST_F(BaseSqlite, ArchivoAusenteDuranteUnaRafaga) {
  captura::ConexionCompartida::FijarReutilizar(false);
  Estacion estacion(TelefonoReal);
  for (int i = 0; i < 10; ++i) estacion.Recibir(i);
  std::filesystem::rename(base_, base_ + ".fuera");
  for (int i = 10; i < 30; ++i) estacion.Recibir(i);
  estacion.Reintentar();  // still away: the oldest line fails again
  EXPECT_EQ(estacion.Gestor().Pendientes(), 20u);
  EXPECT_EQ(estacion.Gestor().Aparcadas(), 0u);
  std::filesystem::rename(base_ + ".fuera", base_);
  for (int i = 30; i < kLineas; ++i) estacion.Recibir(i);
  estacion.Vaciar();
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  captura::ConexionCompartida::FijarReutilizar(true);
  CadaLlamadaYCadaCargoUnaVez(*odbc_, kLineas);
  EXPECT_FALSE(estacion.Mensajes().empty());
}

// Another program holds the write lock for a while (a backup, an edit):
// lookups still read, postings fail busy, nothing is lost or doubled.
TEST_F(BaseSqlite, BaseBloqueadaDuranteUnaRafaga) {
  Estacion estacion(TelefonoReal);
  for (int i = 0; i < 10; ++i) estacion.Recibir(i);
  {
    SesionSqlite otra(base_, odbc_->Directorio(),
                      "BEGIN EXCLUSIVE; DELETE FROM Productos "
                      "WHERE ProductoID = 999;");
    ASSERT_TRUE(otra.Esperar());
    for (int i = 10; i < 30; ++i) estacion.Recibir(i);
    estacion.Reintentar();
    EXPECT_EQ(estacion.Gestor().Pendientes(), 20u);
  }
  for (int i = 30; i < kLineas; ++i) estacion.Recibir(i);
  estacion.Vaciar();
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  EXPECT_EQ(estacion.Gestor().Aparcadas(), 0u);
  CadaLlamadaYCadaCargoUnaVez(*odbc_, kLineas);
}

// The file is moved away and a fresh one put in its place while the station
// idles longer than the idle time-out: the next calls go to the new file
// only, the old one keeps what it had.
TEST_F(BaseSqlite, ArchivoReemplazadoEnReposoRecibeSoloLasLlamadasNuevas) {
  captura::ConexionCompartida::FijarTiempos(std::chrono::milliseconds(300),
                                            std::chrono::seconds(30));
  Estacion estacion(TelefonoReal);
  estacion.Recibir(0);
  odbc_->SoltarPropia();
  const std::string nueva = base_ + ".nueva";
  std::string sql =
      "sqlite3 -bail " + nueva + " <" + SENTREL_RAIZ + "/captura/sql/esquema-sqlite.sql";
  for (const auto& s : Hotel()) sql += " && sqlite3 -bail " + nueva + " \"" + s + "\"";
  ASSERT_TRUE(SalidaOrden(sql + " >/dev/null"));
  std::filesystem::rename(base_, base_ + ".vieja");
  std::filesystem::rename(nueva, base_);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  estacion.Recibir(1);
  estacion.Recibir(2);
  captura::ConexionCompartida::FijarTiempos(captura::ConexionCompartida::kInactividadMaxima,
                                            std::chrono::seconds(30));
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  auto discados = [](const std::string& base) {
    return SalidaOrden("sqlite3 " + base + " 'SELECT Discado FROM telefonos ORDER BY Discado'");
  };
  EXPECT_EQ(discados(base_ + ".vieja"), "00514000\n");
  EXPECT_EQ(discados(base_), "00514001\n00514002\n");
}

// The database file left read-only for the station's user: every call is
// parked. Once the file is made writable, Reintentar stores them all, with
// no restart.
TEST_F(BaseSqlite, ArchivoDeSoloLecturaHechoEscribibleSinReiniciar) {
  namespace fs = std::filesystem;
  SinSaltarPermisos comoUsuario;
  fs::permissions(base_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  Estacion estacion(TelefonoReal);
  for (int i = 0; i < 3; ++i) estacion.Recibir(i);
  ASSERT_EQ(estacion.Gestor().Aparcadas(), 3u);
  EXPECT_NE(estacion.Mensajes().back().find("readonly"), std::string::npos)
      << estacion.Mensajes().back();

  fs::permissions(base_, fs::perms::owner_write, fs::perm_options::add);
  std::vector<uint64_t> apartadas;
  for (const auto& [id, linea] : estacion.Gestor().Cola().Lineas()) apartadas.push_back(id);
  for (uint64_t id : apartadas) EXPECT_TRUE(estacion.Gestor().Devolver(id));
  estacion.Reintentar();
  EXPECT_EQ(estacion.Gestor().Aparcadas() + estacion.Gestor().Pendientes(), 0u);
  CadaLlamadaYCadaCargoUnaVez(*odbc_, 3);
}

// Fails Crea without applying it, a given number of times (a connection
// lost before the statement reached the server).
class TelefonoSinCrea : public TelefonoPrestado {
 public:
  TelefonoSinCrea(captura::Telefono& real, int& fallos, int& vivos)
      : TelefonoPrestado(real, vivos), fallos_(fallos) {}
  captura::Estado Crea(const std::string& a, const std::string& b, captura::Fecha c,
                       captura::Fecha d, const std::string& e, const std::string& f, int32_t g,
                       int32_t h, float i, float j, int32_t k, uint8_t l,
                       float m) noexcept override {
    if (fallos_-- > 0) return Fallo{captura::kErrorConexion, "08S01: connection lost"};
    return TelefonoPrestado::Crea(a, b, c, d, e, f, g, h, i, j, k, l, m);
  }

 private:
  int& fallos_;
};

long Contar(OdbcDePrueba& odbc, const std::string& sql) {
  return odbc.Consultar(sql)->Campo("n").Dato().ALong().Dato();
}

// The charge went in, the call did not; the room then changed guests before
// the re-post: one charge, to the first reservation, and the call with it.
// Then two real calls alike (one room, one number, one minute, one length)
// both wait and are both charged.
TEST_F(BaseSqlite, LaReposicionCargaAlPrimerHuespedYDosLlamadasIgualesSonDos) {
  captura::Telefono real;
  int fallos = 1, vivos = 0;
  Estacion estacion([&]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
    return std::unique_ptr<captura::_Telefono>(
        std::make_unique<TelefonoSinCrea>(real, fallos, vivos));
  });
  estacion.Recibir(0);
  ASSERT_EQ(estacion.Gestor().Pendientes(), 1u);
  odbc_->Ejecutar("UPDATE Habitaciones SET ReservaId = 9100 WHERE NroHabitacion = '100'");
  estacion.Vaciar();
  EXPECT_EQ(Contar(*odbc_, "SELECT COUNT(*) AS n FROM CuentasCorrientes WHERE ReservaId = 5100"),
            1);
  EXPECT_EQ(Contar(*odbc_, "SELECT COUNT(*) AS n FROM CuentasCorrientes"), 1);
  EXPECT_EQ(Contar(*odbc_, "SELECT COUNT(*) AS n FROM telefonos WHERE Reservaid = 5100"), 1);

  fallos = 1;
  const std::string igual = LineaPrueba(" 101", "00519999", "07/12/26", "11:00", "000:02:10");
  estacion.Recibir(igual);
  estacion.Recibir(igual);
  EXPECT_EQ(estacion.Gestor().Pendientes(), 2u);
  estacion.Vaciar();
  EXPECT_EQ(
      Contar(*odbc_, "SELECT COUNT(*) AS n FROM CuentasCorrientes WHERE Discado = '00519999'"), 2);
  EXPECT_EQ(Contar(*odbc_, "SELECT COUNT(*) AS n FROM telefonos WHERE Discado = '00519999'"), 2);
}

// A posting the server applied but whose answer never came (a time-out
// after the commit): the real statement runs, then a time-out comes back.
class TelefonoTardio : public TelefonoPrestado {
 public:
  TelefonoTardio(captura::Telefono& real, int& tardios, int& vivos)
      : TelefonoPrestado(real, vivos), tardios_(tardios) {}

  captura::Estado CrearDetalle(int32_t a, int32_t b, int32_t c, int32_t d, float e, float f,
                               const std::string& g, int32_t h, int32_t i, uint8_t j, uint8_t k,
                               const std::string& l, float m, float n, const std::string& o,
                               int32_t p, float q, captura::Fecha r,
                               captura::Fecha s) noexcept override {
    return Tarde(
        TelefonoPrestado::CrearDetalle(a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s));
  }
  captura::Estado Crea(const std::string& a, const std::string& b, captura::Fecha c,
                       captura::Fecha d, const std::string& e, const std::string& f, int32_t g,
                       int32_t h, float i, float j, int32_t k, uint8_t l,
                       float m) noexcept override {
    return Tarde(TelefonoPrestado::Crea(a, b, c, d, e, f, g, h, i, j, k, l, m));
  }

 private:
  captura::Estado Tarde(captura::Estado hecho) {
    if (!hecho || tardios_ == 0) return hecho;
    --tardios_;
    return Fallo{captura::kErrorTiempo, "HYT00: Query timeout expired"};
  }
  int& tardios_;
};

class TiempoAgotadoTrasAplicar : public ::testing::TestWithParam<Motor> {};

TEST_P(TiempoAgotadoTrasAplicar, LaReposicionHallaLasFilasYNoLasDuplica) {
  LocalePeruano locale;
  ASSERT_TRUE(locale.ok());
  if (GetParam() == Motor::PostgreSQL && OdbcDePrueba::PuertoPostgres().empty()) {
    GTEST_SKIP() << "no PostgreSQL test cluster (SENTREL_PG_PORT): run scripts/probar.sh";
  }
  SOLO_EN_PROCESO_PROPIO();
  OdbcDePrueba odbc;
  odbc.Crear(GetParam());
  CargarHotel(odbc);
  captura::Telefono real;
  int tardios = 3;  // line 0's charge and call, line 1's charge
  int vivos = 0;
  Estacion estacion([&]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
    return std::unique_ptr<captura::_Telefono>(
        std::make_unique<TelefonoTardio>(real, tardios, vivos));
  });
  estacion.Recibir(0);
  ASSERT_EQ(estacion.Gestor().Pendientes(), 1u);
  for (int i = 1; i < 5; ++i) estacion.Recibir(i);
  estacion.Reintentar();  // line 0 found whole; line 1's charge times out too
  EXPECT_EQ(estacion.Gestor().Pendientes(), 4u);
  estacion.Vaciar();
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  CadaLlamadaYCadaCargoUnaVez(odbc, 5);
}

INSTANTIATE_TEST_SUITE_P(Motores, TiempoAgotadoTrasAplicar,
                         ::testing::Values(Motor::SQLite, Motor::PostgreSQL), [](const auto& info) {
                           return info.param == Motor::SQLite ? "SQLite" : "PostgreSQL";
                         });

// A PostgreSQL cluster of this test alone, so stopping it disturbs no other.
class ClusterPropio {
 public:
  ClusterPropio() {
    FILE* salida = popen((Script() + " iniciar").c_str(), "r");
    if (!salida) return;
    char linea[512];
    while (std::fgets(linea, sizeof linea, salida)) {
      const std::string l(linea, strcspn(linea, "\n"));
      if (l.starts_with("export SENTREL_PG_PORT=")) puerto_ = l.substr(23);
      if (l.starts_with("export SENTREL_PG_DIR=")) dir_ = l.substr(22);
    }
    pclose(salida);
    if (!puerto_.empty()) setenv("SENTREL_PG_PORT", puerto_.c_str(), 1);
  }
  ~ClusterPropio() {
    if (!dir_.empty()) Orden("parar");
  }
  ClusterPropio(const ClusterPropio&) = delete;
  ClusterPropio& operator=(const ClusterPropio&) = delete;

  bool Listo() const { return !puerto_.empty() && !dir_.empty(); }
  bool Detener() { return Orden("detener"); }
  bool Reanudar() { return Orden("reanudar"); }
  // Every process of the server stops, or goes on: alive but silent.
  bool Senal(const char* senal) {
    const std::string pid = "$(head -1 " + dir_ + "/datos/postmaster.pid)";
    return std::system(
               ("kill -" + std::string(senal) + " " + pid + " $(pgrep -P " + pid + ")").c_str()) ==
           0;
  }

 private:
  static std::string Script() { return std::string(SENTREL_RAIZ) + "/scripts/postgres-prueba.sh"; }
  bool Orden(const std::string& que) {
    return std::system((Script() + " " + que + " " + dir_ + " >/dev/null").c_str()) == 0;
  }

  std::string puerto_, dir_;
};

// A PostgreSQL cluster of the test's own with the hotel's database.
class BasePostgres : public ::testing::Test {
 protected:
  void SetUp() override {
    if (OdbcDePrueba::PuertoPostgres().empty()) {
      GTEST_SKIP() << "no PostgreSQL test cluster (SENTREL_PG_PORT): run scripts/probar.sh";
    }
    ASSERT_TRUE(locale_.ok());
    SOLO_EN_PROCESO_PROPIO();
    cluster_ = std::make_unique<ClusterPropio>();
    ASSERT_TRUE(cluster_->Listo());
    odbc_ = std::make_unique<OdbcDePrueba>();
    odbc_->Crear(Motor::PostgreSQL);
    CargarHotel(*odbc_);
  }

  LocalePeruano locale_;
  std::unique_ptr<ClusterPropio> cluster_;
  std::unique_ptr<OdbcDePrueba> odbc_;
};

// The server is stopped in the middle of a burst (a restart for an update)
// and started again: the kept connection breaks, new ones are refused, and
// once it answers every line is posted.
TEST_F(BasePostgres, ServidorDetenidoYArrancadoDuranteUnaRafaga) {
  Estacion estacion(TelefonoReal);
  for (int i = 0; i < 10; ++i) estacion.Recibir(i);
  ASSERT_TRUE(cluster_->Detener());
  for (int i = 10; i < 30; ++i) estacion.Recibir(i);
  estacion.Reintentar();
  EXPECT_EQ(estacion.Gestor().Pendientes(), 20u);
  EXPECT_EQ(estacion.Gestor().Aparcadas(), 0u);
  ASSERT_TRUE(cluster_->Reanudar());
  for (int i = 30; i < kLineas; ++i) estacion.Recibir(i);
  estacion.Vaciar();
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  odbc_->CortarConexiones();  // the test's own connection died with the server too
  CadaLlamadaYCadaCargoUnaVez(*odbc_, kLineas);
}

// Restarted while the station idles: the kept connection is dead, and the
// next burst is priced, charged and stored as if nothing had happened.
TEST_F(BasePostgres, ReinicioEnReposoYLuegoUnaRafaga) {
  Estacion estacion(TelefonoReal);
  for (int i = 0; i < 5; ++i) estacion.Recibir(i);
  ASSERT_TRUE(cluster_->Detener());
  ASSERT_TRUE(cluster_->Reanudar());
  for (int i = 5; i < kLineas; ++i) estacion.Recibir(i);
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  EXPECT_TRUE(estacion.Mensajes().empty());
  odbc_->CortarConexiones();
  CadaLlamadaYCadaCargoUnaVez(*odbc_, kLineas);
}

// The server stops answering in the middle of a lookup (SIGSTOP): the call
// waits no longer than the query time-out, whole, and is stored once when
// the server goes on.
TEST_F(BasePostgres, ServidorMudoDuranteUnaConsulta) {
  const auto consulta = std::chrono::seconds(2);
  captura::ConexionCompartida::FijarTiempos(captura::ConexionCompartida::kInactividadMaxima,
                                            consulta);
  Estacion estacion(TelefonoReal);
  estacion.Recibir(0);
  ASSERT_TRUE(cluster_->Senal("STOP"));
  const auto inicio = std::chrono::steady_clock::now();
  estacion.Recibir(1);
  const auto espera = std::chrono::steady_clock::now() - inicio;
  EXPECT_EQ(estacion.Gestor().Pendientes(), 1u);
  ASSERT_TRUE(cluster_->Senal("CONT"));
  EXPECT_LT(espera, consulta + std::chrono::seconds(1));
  estacion.Vaciar();
  captura::ConexionCompartida::FijarTiempos(captura::ConexionCompartida::kInactividadMaxima,
                                            std::chrono::seconds(30));
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  CadaLlamadaYCadaCargoUnaVez(*odbc_, 2);
}

// A row the server rejects in the middle of a receive event rolls back the
// rows of the event's lines: those are posted again one at a time, the
// rejected line is parked until the cause is fixed; every call and charge
// then once. Then the server stops in the middle of an event: the same for
// the lines before.
TEST_F(BasePostgres, UnFalloEnMedioDeLaTransaccionNoPierdeNiDobla) {
  odbc_->Ejecutar("ALTER TABLE telefonos ADD CONSTRAINT rechazo CHECK (Discado <> '00514005')");
  Estacion estacion(TelefonoReal);
  estacion.RecibirJuntas(0, 10);
  estacion.Vaciar();
  EXPECT_EQ(estacion.Gestor().Aparcadas(), 1u);
  odbc_->Ejecutar("ALTER TABLE telefonos DROP CONSTRAINT rechazo");
  ASSERT_TRUE(estacion.Gestor().Devolver(estacion.Gestor().Cola().Lineas().begin()->first));
  estacion.Vaciar();
  EXPECT_EQ(estacion.Gestor().Pendientes() + estacion.Gestor().Aparcadas(), 0u);
  CadaLlamadaYCadaCargoUnaVez(*odbc_, 10);

  estacion.Receptor().ManejarLineas([&](std::string_view linea, captura::_Telefono& telefono) {
    if (linea == Linea(15)) {
      ASSERT_TRUE(cluster_->Detener());
    }
    estacion.Gestor().Manejar(linea, telefono);
  });
  estacion.RecibirJuntas(10, 20);
  EXPECT_EQ(estacion.Gestor().Pendientes(), 10u);
  ASSERT_TRUE(cluster_->Reanudar());
  estacion.Vaciar();
  EXPECT_EQ(estacion.Gestor().Pendientes(), 0u);
  odbc_->CortarConexiones();
  CadaLlamadaYCadaCargoUnaVez(*odbc_, 20);
}

}  // namespace
