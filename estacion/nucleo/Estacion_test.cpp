#include "estacion/nucleo/Estacion.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTest>

#include <QTimer>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "captura/Regional.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/LineaPrueba.h"
#include "prueba/TelefonoFalso.h"
#include "prueba/TelefonoPrestado.h"
#include "simulador/LlamadaPrueba.h"
#include "simulador/PuertoSimulado.h"

namespace {

const std::string kIni =
    "[configura]\npuerto=1\nbseg=9600\nbdat=8\npari=None\nbpar=1\n[App]\nTimeConexion=";

using Textos = std::vector<std::string>;

std::string Estado(int puerto, const char* sufijo) {
  return "Puerto COM " + std::to_string(puerto) + sufijo;
}

// The station with no window and no display, on a pseudo-terminal.
class EstacionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    estacion.DirectorioPrograma(dir.Ruta());
    estacion.SumideroBitacora([this](int, const std::string& m) { registro.push_back(m); });
    QObject::connect(&estacion, &Estacion::CambioEstado,
                     [this](const std::string& texto) { estados.push_back(texto); });
    QObject::connect(&estacion, &Estacion::CambioLlegada,
                     [this](const std::string& texto) { llegada = texto; });
  }

  // Settings with the burst's idle ticks and the exchange's section, then
  // the start as the window makes it.
  void Iniciar(const std::string& tiempo, const std::string& central = "") {
    DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"), kIni + tiempo + "\n" + central);
    ASSERT_TRUE(estacion.UbicarAjustes().existe);
    if (!estacion.Resguardo()) estacion.Iniciar();
    estacion.NuevosAjustes();
    estacion.CerrarPuerto();
    ASSERT_TRUE(estacion.AbrirPuerto());
  }

  QTimer* TimerCheck() { return estacion.findChild<QTimer*>(QStringLiteral("TimerCheck")); }

  DirectorioPrueba dir;
  PuertoSimulado central{dir.Ruta(), 1};
  TelefonoFalso telefono;
  int vivos = 0;
  std::vector<std::string> registro;
  Textos estados;
  std::string llegada = "sin tocar";
  Estacion estacion{[this]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
    return std::unique_ptr<captura::_Telefono>(std::make_unique<TelefonoPrestado>(telefono, vivos));
  }};
};

// A burst of one line driven by the real timer, for two idle times.
TEST_F(EstacionTest, LaRafagaTerminaPorTiempoConElTimer) {
  for (const int tiempo : {3, 1}) {
    SCOPED_TRACE(tiempo);
    Iniciar(std::to_string(tiempo));
    estados.clear();
    const auto linea = LlamadaPrueba("2105", "4561234", 125, tiempo);
    ASSERT_TRUE(central.Enviar(linea.Texto() + "\r\n"));

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !estados.empty() && estados.back() == Estado(1, "    : Inactivo."); }, 8000));
    Textos esperados = {Estado(1, "  : Activo."), Estado(1, "  : Activo.")};
    for (int tick = 2; tick <= tiempo; ++tick) {
      esperados.push_back(Estado(1, "  : Esperando el tiempo de termino del envio."));
    }
    esperados.push_back(Estado(1, "    : Inactivo."));
    EXPECT_EQ(estados, esperados);
    EXPECT_TRUE(llegada.empty());
    EXPECT_EQ(estacion.Estado().Recibiendo, 0);
    EXPECT_EQ(estacion.Estado().ContadorEspera, 1);
    EXPECT_FALSE(TimerCheck()->isActive());
    EXPECT_EQ(vivos, 0);  // the event's Telefono was released

    ASSERT_FALSE(telefono.Creas.empty());
    const auto& crea = telefono.Creas.back();
    EXPECT_EQ(crea.vAnexo, "105");
    EXPECT_EQ(crea.vDiscado, linea.Discado + std::string(20 - linea.Discado.size(), ' '));
    EXPECT_EQ(crea.vTiempo, " 00:02:05 ");
    EXPECT_EQ(crea.vCodigo, "000" + std::to_string(tiempo));
  }
  EXPECT_EQ(telefono.Creas.size(), 2u);
}

TEST_F(EstacionTest, UnaRafagaVencidaSeCierraYSeAbreOtra) {
  Iniciar("0");  // no tick ends the burst
  ASSERT_TRUE(central.Enviar(LlamadaPrueba("2101", "4561234", 61, 1).Texto() + "\r\n"));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return estacion.TextoEstado() == Estado(1, "  : Esperando el tiempo de termino del envio.");
      },
      5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return estacion.Estado().ContadorEspera >= 2; }, 3000));
  estados.clear();

  ASSERT_TRUE(central.Enviar(LlamadaPrueba("2102", "4561234", 61, 2).Texto() + "\r\n"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return telefono.Creas.size() == 2; }, 5000));
  ASSERT_GE(estados.size(), 2u);
  EXPECT_EQ(estados[0], Estado(1, "   : Inactivo."));
  EXPECT_EQ(estados[1], Estado(1, "  : Activo."));
  EXPECT_EQ(telefono.Creas[1].vAnexo, "102");
  EXPECT_EQ(estacion.Estado().Recibiendo, 1);
}

// The tick called by hand: bytes waiting when it comes are read before it
// tests the burst's end, and keep the burst open.
TEST_F(EstacionTest, ElTickAtiendeLaRecepcionPendiente) {
  Iniciar("1");
  ASSERT_TRUE(central.Enviar(LlamadaPrueba("2101", "4561234", 61, 1).Texto() + "\r\n"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return telefono.Creas.size() == 1; }, 5000));
  TimerCheck()->stop();  // ticks by hand from here
  ASSERT_EQ(estacion.Estado().ContadorEspera, 0);

  estados.clear();
  ASSERT_TRUE(central.Enviar(LlamadaPrueba("2103", "4561234", 61, 2).Texto() + "\r\n"));
  ASSERT_TRUE(central.EsperarLectura(std::chrono::milliseconds(5000)));
  std::this_thread::sleep_for(
      std::chrono::milliseconds(100));  // the notice is queued, not yet handled
  // This tick brings the counter to 1 = TiempoConexion, but it reads the
  // line first, which resets the counter.
  estacion.Receptor().TimerCheck_Timer();
  EXPECT_EQ(telefono.Creas.size(), 2u);
  EXPECT_EQ(estacion.Estado().Recibiendo, 1);
  EXPECT_EQ(estacion.Estado().ContadorEspera, 0);
  EXPECT_EQ(estados, Textos{Estado(1, "  : Activo.")});
  estacion.Receptor().TimerCheck_Timer();
  EXPECT_EQ(estacion.Estado().Recibiendo, 0);
  EXPECT_EQ(estacion.TextoEstado(), Estado(1, "    : Inactivo."));
}

// New settings given while a burst waits at its start: the lines read after
// the wait take them (here the exchange's date order), and the burst goes on
// to its end as before.
TEST_F(EstacionTest, UnaOrdenDuranteLaEsperaValeParaLoQueSeLeeDespues) {
  Iniciar("1", "[Central]\nOrdenFecha=MDA\n");
  estados.clear();
  ASSERT_TRUE(central.Enviar(LineaPrueba("2105", "4561234", "07/12/26") + "\r\n"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return estacion.Receptor().EnEspera(); }, 5000));
  EXPECT_TRUE(telefono.Creas.empty());
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"), kIni + "1\n[Central]\nOrdenFecha=DMA\n");
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
