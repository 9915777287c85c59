#include "Conexion.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "prueba/OdbcDePrueba.h"

namespace captura {
namespace {

using Motor = OdbcDePrueba::Motor;

class ConexionEnBase : public ::testing::TestWithParam<Motor> {
 protected:
  void SetUp() override {
    if (GetParam() == Motor::PostgreSQL && OdbcDePrueba::PuertoPostgres().empty()) {
      GTEST_SKIP() << "no PostgreSQL test cluster (SENTREL_PG_PORT): run scripts/probar.sh";
    }
    if (!OdbcDePrueba::PrimeraDelProceso()) {
      GTEST_SKIP() << "odbc.ini was already read in this process: run through ctest";
    }
    odbc_ = std::make_unique<OdbcDePrueba>();
    odbc_->Crear(GetParam());
    odbc_->Ejecutar(
        "CREATE TABLE Lectura (Id integer PRIMARY KEY, Texto text, Entero integer, "
        "Real_ double precision)");
  }

  // Every field of table Lectura, row by row in Id order.
  std::unique_ptr<Recordset> Leer() {
    return odbc_->Consultar("SELECT Id, Texto, Entero, Real_ FROM Lectura ORDER BY Id");
  }

  std::unique_ptr<OdbcDePrueba> odbc_;
};

// Texts of every length come back whole, wherever a read buffer would end;
// NULL stays apart from 0 and from the empty text.
TEST_P(ConexionEnBase, CadaCampoVuelveComoEstaEnLaBase) {
  struct Caso {
    Valor texto, entero, real;
  };
  const std::string comillas = "O'Brien ";
  std::vector<Caso> casos = {
      {Valor::Texto(""), Valor::Entero(0), Valor::Real(0)},
      {Valor(), Valor(), Valor()},
      {Valor::Texto(std::string(255, 'a')), Valor::Entero(-7), Valor::Real(-0.25)},
      {Valor::Texto(std::string(256, 'b')), Valor::Entero(2147483647), Valor::Real(1e300)},
      {Valor::Texto(std::string(257, 'c')), Valor::Entero(-2147483647), Valor::Real(3.5)},
      {Valor::Texto(std::string(511, 'd') + "e"), Valor(), Valor::Real(2.5)},
  };
  std::string larga;
  while (larga.size() < 3000) larga += comillas;
  casos.push_back({Valor::Texto(larga), Valor::Entero(1), Valor()});

  for (std::size_t i = 0; i < casos.size(); ++i) {
    auto literal = [](const Valor& v) {
      if (v.EsNulo()) return std::string("NULL");
      std::string t = v.ATexto().Dato(), r = "'";
      for (char c : t) r += c == '\'' ? std::string("''") : std::string(1, c);
      return v.EsTexto() ? r + "'" : t;
    };
    odbc_->Ejecutar("INSERT INTO Lectura (Id, Texto, Entero, Real_) VALUES (" + std::to_string(i) +
                    ", " + literal(casos[i].texto) + ", " + literal(casos[i].entero) + ", " +
                    literal(casos[i].real) + ")");
  }

  auto rs = Leer();
  ASSERT_EQ(rs->RecordCount(), static_cast<long>(casos.size()));
  for (const Caso& c : casos) {
    ASSERT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->Campo("TEXTO").Dato(), c.texto) << rs->Campo("Id").Dato().ATexto().Dato();
    EXPECT_EQ(rs->Campo("entero").Dato(), c.entero);
    EXPECT_EQ(rs->Campo("Real_").Dato(), c.real);
    rs->MoveNext();
  }
  EXPECT_TRUE(rs->EOF_());
}

// Results of many rows and of none are counted exactly; the same statement
// handle then serves the next statement with nothing left over.
TEST_P(ConexionEnBase, CuentaExactaYElManejadorQuedaLimpio) {
  odbc_->Ejecutar(
      "INSERT INTO Lectura (Id, Texto, Entero) SELECT i, 'fila', i * 2 FROM (" +
      std::string(GetParam() == Motor::SQLite
                      ? "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                        "i < 1000) SELECT i FROM n"
                      : "SELECT generate_series(1, 1000) AS i") +
      ") AS serie");
  auto rs = Leer();
  ASSERT_EQ(rs->RecordCount(), 1000);
  long suma = 0;
  for (; !rs->EOF_(); rs->MoveNext()) suma += rs->Campo("Entero").Dato().ALong().Dato();
  EXPECT_EQ(suma, 1000L * 1001L);

  EXPECT_EQ(odbc_->Consultar("SELECT Id FROM Lectura WHERE Id < 0")->RecordCount(), 0);
  auto uno = odbc_->Consultar("SELECT Texto, Id FROM Lectura WHERE Id = 7");
  ASSERT_EQ(uno->RecordCount(), 1);
  EXPECT_EQ(uno->Campo("Texto").Dato(), Valor::Texto("fila"));
  EXPECT_EQ(uno->Campo("Id").Dato(), Valor::Entero(7));
}

// SQLite keeps whatever was written, a text in a real column too: such a
// field reads as the driver's own conversion makes it, in the locale of a
// Peruvian hotel.
TEST_P(ConexionEnBase, RealGuardadoComoTextoSeLeeComoLoConvierteElDriver) {
  if (GetParam() != Motor::SQLite) GTEST_SKIP() << "only SQLite stores text in a real column";
  odbc_->Ejecutar(
      "INSERT INTO Lectura (Id, Real_) VALUES (1, 'abc'), (2, ' 2.5'), (3, '+3'), (4, '1e999'), "
      "(5, '2,5'), (6, '7.25xyz'), (7, '-0.125')");
  const std::string previo = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "es_PE.UTF-8"), nullptr);
  auto rs = Leer();
  std::setlocale(LC_ALL, previo.c_str());

  const std::vector<Valor> esperados = {
      Valor(),          Valor::Real(2.5),  Valor::Real(3),      Valor::Real(HUGE_VAL),
      Valor::Real(2.5), Valor::Real(7.25), Valor::Real(-0.125),
  };
  ASSERT_EQ(rs->RecordCount(), static_cast<long>(esperados.size()));
  for (const Valor& v : esperados) {
    EXPECT_EQ(rs->Campo("Real_").Dato(), v) << rs->Campo("Id").Dato().ATexto().Dato();
    rs->MoveNext();
  }
}

INSTANTIATE_TEST_SUITE_P(Motores, ConexionEnBase,
                         ::testing::Values(Motor::SQLite, Motor::PostgreSQL), [](const auto& info) {
                           return info.param == Motor::SQLite ? "SQLite" : "PostgreSQL";
                         });

}  // namespace
}  // namespace captura
