#include "llamadas/Esperar.h"

#include <gtest/gtest.h>

#include "prueba/VentanaFalsa.h"

namespace {

TEST(Esperar, CruzaLaMedianocheSinEsperarUnDia) {
  VentanaFalsa ventana;
  ventana.Reloj = 86399.8;  // 23:59:59.8
  Esperar(0.5f, ventana, [&] { return ventana.Reloj; });
  EXPECT_NEAR(ventana.Esperado, 0.5, 0.01);
  EXPECT_NEAR(ventana.Reloj, 0.3, 0.01);
}

TEST(Esperar, DejaCorrerLosEventosYDuermeEnEllos) {
  VentanaFalsa ventana;
  int eventos = 0;
  ventana.AlProcesar = [&] { ++eventos; };
  Esperar(0.5f, ventana, [&] { return ventana.Reloj; });
  EXPECT_EQ(eventos, 1);
  // Each pass sleeps in the window's wait: no spinning between events.
  EXPECT_LE(ventana.Registro.size(), 6u);
  EXPECT_NEAR(ventana.Esperado, 0.5, 0.01);
}

TEST(Esperar, CeroONegativoVuelveSinEventos) {
  VentanaFalsa ventana;
  Esperar(0.0f, ventana, [&] { return ventana.Reloj; });
  Esperar(-1.0f, ventana, [&] { return ventana.Reloj; });
  EXPECT_TRUE(ventana.Registro.empty());
}

TEST(Esperar, RelojDelSistemaDentroDelDia) {
  const double s = SegundosDesdeMedianoche();
  EXPECT_GE(s, 0.0);
  EXPECT_LT(s, 86401.0);
}

}  // namespace
