#include "TextoSql.h"

#include <gtest/gtest.h>

#include "prueba/ConLocale.h"

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "InsercionSql.h"
#include "captura/Regional.h"

namespace captura {
namespace {

TEST(TextoSql, FloatsConPuntoYSieteCifrasEnCualquierLocale) {
  ConLocale pe(LC_ALL, "es_PE.UTF-8");  // decimal comma
  ASSERT_TRUE(pe.ok());
  EXPECT_EQ(*TextoSql::Float(1.5f), "1.5");
  EXPECT_EQ(*TextoSql::Float(0.25f), "0.25");
  EXPECT_EQ(*TextoSql::Float(12.0f), "12");
  EXPECT_EQ(*TextoSql::Float(0.1f), "0.1");  // not 0.100000001
  EXPECT_EQ(*TextoSql::Float(3.14159265f), "3.141593");
  EXPECT_EQ(*TextoSql::Float(-0.18f), "-0.18");
  EXPECT_EQ(*TextoSql::Float(0.0f), "0");
  EXPECT_EQ(*TextoSql::Float(1234567.0f), "1234567");
  // Beyond seven digits: an exponent form every SQL dialect reads as a number.
  EXPECT_EQ(*TextoSql::Float(12345678.0f), "1.234568e+07");
  EXPECT_EQ(*TextoSql::Float(0.00001f), "1e-05");
  EXPECT_FALSE(TextoSql::Float(std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(TextoSql::Float(std::nanf("")));
}

TEST(TextoSql, TextosEnterosYFechas) {
  EXPECT_EQ(TextoSql::Texto(""), "''");
  EXPECT_EQ(TextoSql::Texto("O'Brien''"), "'O''Brien'''''");
  EXPECT_EQ(TextoSql::Texto("Año ñ"), "'Año ñ'");
  EXPECT_EQ(TextoSql::Entero(-2147483648LL), "-2147483648");
  EXPECT_EQ(TextoSql::Entero(255), "255");

  ConLocale pe(LC_ALL, "es_PE.UTF-8");
  ASSERT_TRUE(pe.ok());
  const Fecha dia = *Regional::DesdeCalendario(2026, 1, 2);
  EXPECT_EQ(*TextoSql::Fecha(dia), "'02/01/2026'");
  EXPECT_EQ(*TextoSql::Fecha(dia + Regional::DesdeReloj(23, 4, 5)), "'02/01/2026 23:04:05'");
  EXPECT_EQ(*TextoSql::Hora(dia + Regional::DesdeReloj(23, 4, 5)), "'23:04'");
  EXPECT_FALSE(TextoSql::Fecha(1e12));
  EXPECT_FALSE(TextoSql::Hora(std::nan("")));
}

TEST(InsercionSql, ValoresSeparadosPorComaSinBlancosOContados) {
  InsercionSql fila("INSERT INTO t(a,b, c) VALUES(");
  fila.Entero(-1).Texto("x").Float(2.5f);
  EXPECT_EQ(fila.Terminar().Dato(), "INSERT INTO t(a,b, c) VALUES(-1,'x',2.5)");
  EXPECT_EQ(fila.Contar().Dato(),
            "Select Count(*) As Cuantos From t Where a=-1 And b='x' And c=CAST(2.5 AS REAL);");
  auto malo = InsercionSql("INSERT INTO t(a,b) VALUES(").Float(INFINITY).Texto("x");
  EXPECT_EQ(malo.Terminar().Falla().Numero, kErrorDesbordamiento);
  EXPECT_EQ(malo.Contar().Falla().Numero, kErrorDesbordamiento);
}

}  // namespace
}  // namespace captura
