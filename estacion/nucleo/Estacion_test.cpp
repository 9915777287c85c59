#include "estacion/nucleo/Estacion.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "captura/Regional.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/LineaPrueba.h"
#include "prueba/TelefonoFalso.h"
#include "prueba/TelefonoPrestado.h"
#include "simulador/PuertoSimulado.h"

namespace {

const std::string kIni =
    "[configura]\npuerto=1\nbseg=9600\nbdat=8\npari=None\nbpar=1\n[App]\nTimeConexion=1\n";

// The station with no window and no display, on a pseudo-terminal.
class EstacionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"), kIni + "[Central]\nOrdenFecha=MDA\n");
    estacion.DirectorioPrograma(dir.Ruta());
    estacion.SumideroBitacora([this](int, const std::string& m) { registro.push_back(m); });
    QObject::connect(&estacion, &Estacion::CambioEstado,
                     [this](const std::string& texto) { estados.push_back(texto); });
    ASSERT_TRUE(estacion.UbicarAjustes().existe);
    estacion.Iniciar();
    ASSERT_TRUE(estacion.AbrirPuerto());
  }

  DirectorioPrueba dir;
  PuertoSimulado central{dir.Ruta(), 1};
  TelefonoFalso telefono;
  int vivos = 0;
  std::vector<std::string> registro;
  std::vector<std::string> estados;
  Estacion estacion{[this]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
    return std::unique_ptr<captura::_Telefono>(std::make_unique<TelefonoPrestado>(telefono, vivos));
  }};
};

// New settings given while a burst waits at its start: the lines read after
// the wait take them (here the exchange's date order), and the burst goes on
// to its end as before.
TEST_F(EstacionTest, UnaOrdenDuranteLaEsperaValeParaLoQueSeLeeDespues) {
  estados.clear();
  ASSERT_TRUE(central.Enviar(LineaPrueba("2105", "4561234", "07/12/26") + "\r\n"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return estacion.Receptor().EnEspera(); }, 5000));
  EXPECT_TRUE(telefono.Creas.empty());
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"), kIni + "[Central]\nOrdenFecha=DMA\n");
  estacion.NuevosAjustes();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !telefono.Creas.empty(); }, 5000));
  EXPECT_EQ(telefono.Creas[0].vFecha, captura::Regional::DesdeCalendario(2026, 12, 7));
  ASSERT_TRUE(QTest::qWaitFor([&] { return estacion.Estado().Recibiendo == 0; }, 5000));
  EXPECT_EQ(estados, (std::vector<std::string>{"Puerto COM 1  : Activo.", "Puerto COM 1  : Activo.",
                                               "Puerto COM 1    : Inactivo."}));
  estacion.Finalizar();
  EXPECT_EQ(registro.back(), "Detenido");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication aplicacion(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
