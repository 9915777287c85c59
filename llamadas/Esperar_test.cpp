#include <gtest/gtest.h>

#include "llamadas/ReceptorLlamadas.h"
#include "prueba/LineaPrueba.h"
#include "prueba/PuertoFalso.h"
#include "prueba/VentanaFalsa.h"

namespace {

// The wait at a burst's start is one timer of the owner's, not a loop: the
// handler returns at once, reading nothing, and the station sleeps in its
// own event loop meanwhile.
TEST(Esperar, LaEsperaDeInicioEsUnTemporizadorYNoUnBucle) {
  VentanaFalsa ventana;
  PuertoFalso puerto;
  puerto.Entradas = {LineaPrueba("2105", "01144412345") + "\r\n"};
  ReceptorLlamadas receptor(ventana, puerto, {});
  receptor.Comm1_OnComm();
  EXPECT_EQ(ventana.Espera, std::chrono::milliseconds(500));
  EXPECT_EQ(puerto.Entradas.size(), 1u);
  EXPECT_EQ(ventana.Esperado, 0);
  // A second event in the wait starts no other wait.
  receptor.Comm1_OnComm();
  EXPECT_EQ(std::count(ventana.Registro.begin(), ventana.Registro.end(), "eventos"), 1);
  ASSERT_TRUE(ventana.AcabarEspera());
  receptor.FinEspera();
  EXPECT_TRUE(puerto.Entradas.empty());
  // A late end of a wait already over changes nothing.
  const auto registro = ventana.Registro;
  receptor.FinEspera();
  EXPECT_EQ(ventana.Registro, registro);
}

}  // namespace
