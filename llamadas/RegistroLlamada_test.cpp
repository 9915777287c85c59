#include "llamadas/RegistroLlamada.h"

#include <gtest/gtest.h>

#include <clocale>

#include "captura/Regional.h"
#include "prueba/LineaPrueba.h"

namespace {

using captura::Regional;

RegistroLlamada Leer(const std::string& linea) {
  EXPECT_EQ(linea.size(), 80u);
  return RegistroLlamada::Leer(linea);
}

TEST(RegistroLlamada, AnexoPierdeSoloElDosInicial) {
  EXPECT_EQ(Leer(LineaPrueba("2105", "0114441234")).Anexo, "105");
  EXPECT_EQ(Leer(LineaPrueba(" 215", "0114441234")).Anexo, "215");
  EXPECT_EQ(Leer(LineaPrueba(" 105", "0114441234")).Anexo, " 105");
  EXPECT_EQ(Leer(LineaPrueba("  15", "0114441234")).Anexo, "  15");
  EXPECT_EQ(Leer(LineaPrueba("3201", "0114441234")).Anexo, "3201");
}

TEST(RegistroLlamada, CamposPorSeparadoresYPosiciones) {
  // A "|" before position 7 is not a separator; Discado keeps its blanks.
  std::string linea = LineaPrueba("1|05", " 0114441234  ", "25/12/23", "14h30", "000:05:10", "A7 ");
  linea[79] = 'Z';
  const RegistroLlamada r = Leer(linea);
  EXPECT_EQ(r.Anexo, "1|05");
  EXPECT_EQ(r.Discado, " 0114441234  ");
  EXPECT_EQ(r.Fecha, "25/12/23");
  EXPECT_EQ(r.Hora, "14h30");
  EXPECT_EQ(r.Tiempo, "000:05:10");
  EXPECT_EQ(r.Codigo, "A7");  // character 80 is not part of it
  EXPECT_EQ(r.HoraLlamada, Regional::DesdeReloj(14, 30, 0));
}

TEST(RegistroLlamada, SeparadorQueFaltaDejaSusCamposVacios) {
  std::string sinCuarto = LineaPrueba("2105", "0114441234");
  sinCuarto[sinCuarto.rfind('|')] = ' ';
  const RegistroLlamada a = Leer(sinCuarto);
  EXPECT_EQ(a.Discado, "0114441234");
  EXPECT_EQ(a.Tiempo, "");
  EXPECT_EQ(a.ControlTiempo, 0);
  EXPECT_FALSE(a.EsValido());

  std::string sinSegundo = " 2105 |0114441234 25/12/23 14:30 000:05:10";
  sinSegundo.resize(80, ' ');
  const RegistroLlamada b = Leer(sinSegundo);
  EXPECT_EQ(b.Discado, "");
  EXPECT_EQ(b.Fecha, "");
  EXPECT_EQ(b.HoraLlamada, 0);
  EXPECT_FALSE(b.EsValido());
}

TEST(RegistroLlamada, PartesDeLaDuracion) {
  const RegistroLlamada a =
      Leer(LineaPrueba("2105", "0114441234", "25/12/23", "14:30", "001:02:03"));
  EXPECT_EQ(a.HorasEnMinutos, 60);
  EXPECT_EQ(a.MinutosLlamada, 2);
  EXPECT_EQ(a.SegundosLlamada, 3);
  EXPECT_EQ(a.ControlTiempo, 3);  // "001" + "02"

  // mm:ss: no hours; a field padded with blanks is read from its trimmed text.
  const RegistroLlamada b = Leer(LineaPrueba("2105", "0114441234", "25/12/23", "14:30", " 07:09 "));
  EXPECT_EQ(b.HorasEnMinutos, 0);
  EXPECT_EQ(b.MinutosLlamada, 7);
  EXPECT_EQ(b.SegundosLlamada, 9);
  EXPECT_EQ(b.ControlTiempo, 16);  // " 07" + "09", on the field as cut
  EXPECT_TRUE(b.EsValido());
}

TEST(RegistroLlamada, ValidezPideAnexoDiscadoYDuracion) {
  EXPECT_TRUE(Leer(LineaPrueba("2105", "0114441234")).EsValido());
  EXPECT_FALSE(Leer(LineaPrueba("    ", "0114441234")).EsValido());
  EXPECT_FALSE(Leer(LineaPrueba("2105", "")).EsValido());
  EXPECT_FALSE(Leer(LineaPrueba("2105", "   ")).EsValido());
  EXPECT_FALSE(
      Leer(LineaPrueba("2105", "0114441234", "25/12/23", "14:30", "000:00:59")).EsValido());
  EXPECT_FALSE(Leer(LineaPrueba("2105", "0114441234", "25/12/23", "14:30", "00:00:59")).EsValido());
  EXPECT_FALSE(Leer(std::string(80, ' ')).EsValido());
}

TEST(RegistroLlamada, LecturaLenienteYEstricta) {
  EXPECT_EQ(RegistroLlamada::LeerLenient("07"), 7);
  EXPECT_EQ(RegistroLlamada::LeerLenient(" 7"), 7);
  EXPECT_EQ(RegistroLlamada::LeerLenient("7:"), 7);
  EXPECT_EQ(RegistroLlamada::LeerLenient(""), 0);
  EXPECT_EQ(RegistroLlamada::LeerLenient(":5"), 0);
  EXPECT_EQ(RegistroLlamada::LeerLenient("-3"), -3);
  EXPECT_EQ(RegistroLlamada::LeerLenient("99999"), std::nullopt);

  EXPECT_EQ(RegistroLlamada::LeerEstricto(" 07"), 7);
  EXPECT_EQ(RegistroLlamada::LeerEstricto("000"), 0);
  EXPECT_EQ(RegistroLlamada::LeerEstricto("00:"), std::nullopt);
  EXPECT_EQ(RegistroLlamada::LeerEstricto(""), std::nullopt);
  EXPECT_EQ(RegistroLlamada::LeerEstricto("40000"), std::nullopt);
}

// Dates are read by the locale: day first in Peru, month first in C.
TEST(RegistroLlamada, FechaPorElLocale) {
  ASSERT_NE(std::setlocale(LC_TIME, "es_PE.UTF-8"), nullptr);
  const auto peru = Leer(LineaPrueba("2105", "0114441234", "25/12/23")).FechaLlamada;
  const auto imposible = Leer(LineaPrueba("2105", "0114441234", "12/25/23")).FechaLlamada;
  std::setlocale(LC_TIME, "C");
  EXPECT_EQ(peru, Regional::DesdeCalendario(2023, 12, 25));
  EXPECT_EQ(imposible, 0);
  EXPECT_EQ(Leer(LineaPrueba("2105", "0114441234", "12/25/23")).FechaLlamada,
            Regional::DesdeCalendario(2023, 12, 25));
}

// A day-first exchange on a month-first machine: the setting reads the date
// as sent; a date impossible in that order is flagged, a blank one is not.
TEST(RegistroLlamada, OrdenDeLaCentralMandaSobreElLocale) {
  std::setlocale(LC_TIME, "C");
  const auto dma = Regional::Orden::DiaMesAnio;
  const auto dia7 = RegistroLlamada::Leer(LineaPrueba("2105", "0114441234", "07/12/26"), dma);
  const auto mes13 = RegistroLlamada::Leer(LineaPrueba("2105", "0114441234", "12/13/26"), dma);
  const auto blanco = RegistroLlamada::Leer(LineaPrueba("2105", "0114441234", "        "), dma);
  EXPECT_EQ(dia7.FechaLlamada, Regional::DesdeCalendario(2026, 12, 7));
  EXPECT_FALSE(dia7.FechaIlegible);
  EXPECT_EQ(mes13.FechaLlamada, 0);
  EXPECT_TRUE(mes13.FechaIlegible);
  EXPECT_FALSE(blanco.FechaIlegible);
  EXPECT_EQ(Leer(LineaPrueba("2105", "0114441234", "07/12/26")).FechaLlamada,
            Regional::DesdeCalendario(2026, 7, 12));
}

}  // namespace
