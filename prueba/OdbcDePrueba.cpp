#include "prueba/OdbcDePrueba.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <odbcinst.h>

#include "ConexionCompartida.h"

namespace captura {
namespace {

constexpr char kDrivers[] = "/usr/lib/x86_64-linux-gnu/odbc/";
int instancias = 0;
std::vector<std::string> vistas;

void Ver(const std::string& sql) { vistas.push_back(sql); }

std::string Leer(const std::string& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void Escribir(const std::string& ruta, const std::string& texto) {
  std::ofstream(ruta, std::ios::binary | std::ios::trunc) << texto;
}

// The schema script, one statement at a time.
std::vector<std::string> Sentencias(const std::string& script) {
  std::vector<std::string> r;
  std::string actual;
  std::istringstream lineas(script);
  for (std::string linea; std::getline(lineas, linea);) {
    if (linea.starts_with("--")) continue;
    actual += linea + "\n";
    if (linea.ends_with(";")) {
      r.push_back(actual);
      actual.clear();
    }
  }
  return r;
}

}  // namespace

void OdbcDePrueba::OlvidarConfiguracion() {
  // The driver manager keeps what it read from the ini files for 20 s; a
  // write through its installer API clears that.
  const std::string ini = dir_ + "/limpieza.ini";
  Escribir(ini, "[Sentrel]\n");
  SQLWritePrivateProfileString("Sentrel", "Limpieza", "1", ini.c_str());
}

bool OdbcDePrueba::PrimeraDelProceso() { return instancias == 0; }

OdbcDePrueba::OdbcDePrueba() {
  ++instancias;
  char plantilla[] = "/tmp/sentrel-odbc.XXXXXX";
  dir_ = mkdtemp(plantilla);
  Escribir(dir_ + "/odbcinst.ini",
           "[ODBC]\nTrace=Yes\nTraceFile=" + dir_ + "/traza.log\n\n[SQLite3]\nDriver=" + kDrivers +
               "libsqlite3odbc.so\n\n[PostgreSQL ANSI]\nDriver=" + kDrivers + "psqlodbca.so\n");
  Escribir(dir_ + "/odbc.ini", "");
  setenv("ODBCSYSINI", dir_.c_str(), 1);
  setenv("ODBCINI", (dir_ + "/odbc.ini").c_str(), 1);
  OlvidarConfiguracion();
  ConexionCompartida::Descartar();
  Conexion::Observar(&Ver);
}

OdbcDePrueba::~OdbcDePrueba() {
  Conexion::Observar(nullptr);
  ConexionCompartida::Descartar();
  propia_.reset();
  if (!basePostgres_.empty()) Admin("DROP DATABASE IF EXISTS " + basePostgres_ + " WITH (FORCE)");
  entorno_.reset();
  std::error_code e;
  std::filesystem::remove_all(dir_, e);
}

std::string OdbcDePrueba::PuertoPostgres() {
  const char* p = std::getenv("SENTREL_PG_PORT");
  return p ? p : "";
}

void OdbcDePrueba::Crear(Motor motor) {
  if (motor == Motor::SQLite) {
    const std::string orden = std::string(SENTREL_RAIZ) + "/scripts/crear-base-sqlite.sh " + dir_ +
                              "/hotel.db >/dev/null";
    ASSERT_EQ(std::system(orden.c_str()), 0) << orden;
    OlvidarConfiguracion();
    return;
  }
  basePostgres_ = "sentrel_" + std::to_string(getpid());
  Registrar("Driver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=" + PuertoPostgres() +
            "\nDatabase=" + basePostgres_ + "\n");
  Admin("CREATE DATABASE " + basePostgres_);
  for (const auto& s :
       Sentencias(Leer(std::string(SENTREL_RAIZ) + "/captura/sql/esquema-postgresql.sql"))) {
    Ejecutar(s);
  }
}

void OdbcDePrueba::Registrar(const std::string& cuerpo) {
  Escribir(dir_ + "/odbc.ini", "[Tavro_Datos]\n" + cuerpo);
  OlvidarConfiguracion();
}

void OdbcDePrueba::Admin(const std::string& sql) {
  AbrirEntorno();
  auto c = Conexion::Abrir(entorno_.get(), "Driver=PostgreSQL ANSI;Servername=127.0.0.1;Port=" +
                                               PuertoPostgres() + ";Database=postgres");
  ASSERT_TRUE(c) << c.Falla().Descripcion;
  auto e = c.Dato()->Ejecutar(sql);
  ASSERT_TRUE(e) << sql << ": " << e.Falla().Descripcion;
}

void OdbcDePrueba::AbrirEntorno() {
  if (entorno_) return;
  SQLHENV h = SQL_NULL_HENV;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h);
  entorno_.reset(h);
  SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
}

Conexion& OdbcDePrueba::Propia() {
  AbrirEntorno();
  if (!propia_ || propia_->Rota()) {
    auto c = Conexion::Abrir(entorno_.get(), "DSN=Tavro_Datos");
    if (!c) throw std::runtime_error(c.Falla().Descripcion);
    propia_ = std::move(c.Dato());
  }
  return *propia_;
}

void OdbcDePrueba::Ejecutar(const std::string& sql) {
  auto e = Propia().Ejecutar(sql);
  ASSERT_TRUE(e) << sql << ": " << e.Falla().Descripcion;
}

std::unique_ptr<Recordset> OdbcDePrueba::Consultar(const std::string& sql) {
  auto r = Propia().Consultar(sql);
  if (!r) throw std::runtime_error(sql + ": " + r.Falla().Descripcion);
  return std::move(r.Dato());
}

void OdbcDePrueba::CortarConexiones() {
  Admin("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + basePostgres_ +
        "'");
  propia_.reset();
}

std::string OdbcDePrueba::LeerTraza() const { return Leer(dir_ + "/traza.log"); }

std::vector<std::string> OdbcDePrueba::SentenciasNuevas() {
  std::vector<std::string> r;
  r.swap(vistas);
  return r;
}

int OdbcDePrueba::Conexiones() const {
  const std::string traza = LeerTraza();
  static constexpr std::string_view kCadena = "Str In = [DSN=Tavro_Datos;Trusted_Connection";
  int n = 0;
  for (auto i = traza.find(kCadena); i != std::string::npos; i = traza.find(kCadena, i + 1)) ++n;
  return n;
}

}  // namespace captura
