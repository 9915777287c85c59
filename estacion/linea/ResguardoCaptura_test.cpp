#include "estacion/linea/ResguardoCaptura.h"

#include <gtest/gtest.h>
#include <QTest>

#include "estacion/linea/Comm.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/LimiteArchivo.h"
#include "prueba/LineaPrueba.h"
#include "prueba/TelefonoFalso.h"
#include "prueba/TelefonoPrestado.h"
#include "prueba/VentanaFalsa.h"
#include "simulador/PuertoSimulado.h"

namespace {

// The program's Qt application comes from the main of ControlPuerto_test.
// A journal that cannot write (a full disk): calls go on being stored, the
// window's line says so, the system log says it once, and both clear when
// the disk takes the bytes again.
TEST(ResguardoCaptura, UnDiarioSinEspacioSeDiceUnaVezYSeBorraAlVolver) {
  DirectorioPrueba dir;
  PuertoSimulado central(dir.Ruta(), 1);
  Comm comm;
  comm.DirectorioPrograma(dir.Ruta());
  ASSERT_TRUE(comm.CommPort(1));
  VentanaFalsa ventana;
  TelefonoFalso tel;
  int vivos = 0;
  auto crear = [&]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
    return std::unique_ptr<captura::_Telefono>(std::make_unique<TelefonoPrestado>(tel, vivos));
  };
  ReceptorLlamadas receptor(ventana, comm, crear);
  std::vector<std::string> log;
  ResguardoCaptura resguardo(dir.Ruta().string(), comm, receptor, crear,
                             [&](int, const std::string& m) { log.push_back(m); });
  resguardo.Iniciar();
  QObject::connect(&comm, &Comm::OnComm, [&] { receptor.Comm1_OnComm(); });
  ASSERT_TRUE(comm.PortOpen(true));
  auto llamada = [&](int i) {
    const std::size_t antes = tel.LlamadasGuardadas.size();
    EXPECT_TRUE(central.Enviar(LineaPrueba(" 10" + std::to_string(i), "0051400" + std::to_string(i),
                                           "07/12/26", "10:00", "000:02:10") +
                               "\r\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tel.LlamadasGuardadas.size() > antes; }, 20000));
    resguardo.Reintentar();
  };
  {
    LimiteArchivo limite(std::filesystem::file_size(dir.Ruta() / DiarioRecepcion::kArchivo) + 10);
    for (int i = 0; i < 3; ++i) llamada(i);
    EXPECT_NE(resguardo.Resumen().find("Diario sin guardar"), std::string::npos);
  }
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("diario"), std::string::npos);
  llamada(3);
  EXPECT_EQ(resguardo.Resumen().find("Diario"), std::string::npos) << resguardo.Resumen();
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(tel.LlamadasGuardadas.size(), 4u);
}

}  // namespace
