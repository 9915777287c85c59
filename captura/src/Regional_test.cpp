#include "captura/Regional.h"

#include <gtest/gtest.h>

#include "prueba/ConLocale.h"

#include <clocale>
#include <string>

namespace captura {
namespace {

TEST(Regional, FechaEnOrdenDelLocale) {
  {
    ConLocale c(LC_TIME, "C");
    EXPECT_EQ(Regional::LeerFecha("12/07/26"), Regional::DesdeCalendario(2026, 12, 7));
    EXPECT_EQ(Regional::EscribirFecha(*Regional::DesdeCalendario(2026, 12, 7)), "12/07/2026");
  }
  ConLocale pe(LC_TIME, "es_PE.UTF-8");
  ASSERT_TRUE(pe.ok()) << "es_PE.UTF-8 locale missing";
  EXPECT_EQ(Regional::LeerFecha("07/12/26"), Regional::DesdeCalendario(2026, 12, 7));
  EXPECT_EQ(Regional::LeerFecha("7-12-2026"), Regional::DesdeCalendario(2026, 12, 7));
  EXPECT_EQ(Regional::LeerFecha("07.12.30"), Regional::DesdeCalendario(1930, 12, 7));
  EXPECT_EQ(Regional::LeerFecha("07/12/29"), Regional::DesdeCalendario(2029, 12, 7));
  EXPECT_EQ(Regional::EscribirFecha(*Regional::DesdeCalendario(2026, 12, 7)), "07/12/2026");
}

TEST(Regional, FechasImposiblesNoSeAdivinan) {
  ConLocale pe(LC_TIME, "es_PE.UTF-8");
  ASSERT_TRUE(pe.ok());
  EXPECT_FALSE(Regional::LeerFecha("12/31/26"));  // month 31: no swapping of the order
  EXPECT_FALSE(Regional::LeerFecha("29/02/27"));
  EXPECT_TRUE(Regional::LeerFecha("29/02/28"));
  EXPECT_FALSE(Regional::LeerFecha("07/12"));
  EXPECT_FALSE(Regional::LeerFecha("07/1a/26"));
  EXPECT_FALSE(Regional::LeerFecha(""));
}

TEST(Regional, HorasYFechaConHora) {
  ConLocale pe(LC_TIME, "es_PE.UTF-8");
  ASSERT_TRUE(pe.ok());
  EXPECT_EQ(Regional::LeerHora("14:35"), Regional::DesdeReloj(14, 35, 0));
  EXPECT_EQ(Regional::LeerHora(" 9:05"), Regional::DesdeReloj(9, 5, 0));
  EXPECT_FALSE(Regional::LeerHora("24:00"));
  EXPECT_FALSE(Regional::LeerHora("12:60"));
  EXPECT_FALSE(Regional::LeerHora("1x:00"));
  const Fecha dia = *Regional::DesdeCalendario(2026, 1, 2);
  const Fecha hora = Regional::DesdeReloj(8, 5, 9);
  EXPECT_EQ(Regional::EscribirFecha(dia + hora), "02/01/2026 08:05:09");
  EXPECT_EQ(Regional::EscribirFecha(hora), "08:05:09");
  EXPECT_EQ(Regional::EscribirHora(dia + hora), "08:05");
  EXPECT_EQ(Regional::EscribirHora(Regional::DesdeReloj(23, 59, 59)), "23:59");
}

}  // namespace
}  // namespace captura
