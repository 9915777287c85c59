#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Conexion.h"

// Skips a test that would read odbc.ini a second time in its process.
#define SOLO_EN_PROCESO_PROPIO()                                                   \
  if (!::captura::OdbcDePrueba::PrimeraDelProceso())                               \
  GTEST_SKIP() << "odbc.ini was already read in this process (the driver manager " \
                  "keeps it 20 s): run through ctest, one test per process"

namespace captura {

// A throwaway ODBC set-up for one test: its own odbcinst.ini (with the
// driver manager's trace on, to count connections) and odbc.ini in a temporary directory, named by
// ODBCSYSINI and ODBCINI, and a data source Tavro_Datos on a new SQLite file
// or a new PostgreSQL database of the test cluster.
class OdbcDePrueba {
 public:
  enum class Motor { SQLite, PostgreSQL };

  OdbcDePrueba();
  ~OdbcDePrueba();
  OdbcDePrueba(const OdbcDePrueba&) = delete;
  OdbcDePrueba& operator=(const OdbcDePrueba&) = delete;

  // False when an earlier set-up ran in this process: the driver manager
  // keeps what it read from odbc.ini for 20 s, so each test needs a process
  // of its own (ctest runs them so).
  static bool PrimeraDelProceso();

  // The test cluster's port, or empty when no cluster was started.
  static std::string PuertoPostgres();

  // Creates the database with the four tables and registers Tavro_Datos.
  void Crear(Motor motor);
  // Registers Tavro_Datos with the given body (after the section line).
  void Registrar(const std::string& cuerpo);

  // Runs statements on a connection of the test's own (not the component's).
  void Ejecutar(const std::string& sql);
  std::unique_ptr<Recordset> Consultar(const std::string& sql);
  // Cuts the connection of every other session of the test database.
  void CortarConexiones();
  // Closes the test's own connection (the next statement opens another).
  void SoltarPropia() { propia_.reset(); }

  // The statements handed to the driver since the last call.
  std::vector<std::string> SentenciasNuevas();
  // Times a connection was opened since the start.
  int Conexiones() const;

  const std::string& Directorio() const { return dir_; }

 private:
  void OlvidarConfiguracion();
  void AbrirEntorno();
  Conexion& Propia();
  void Admin(const std::string& sql);
  std::string LeerTraza() const;

  std::string dir_;
  std::string basePostgres_;
  ManejadorEntorno entorno_;
  std::unique_ptr<Conexion> propia_;
};

}  // namespace captura
