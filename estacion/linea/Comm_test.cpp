#include "estacion/linea/Comm.h"

#include <time.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "prueba/DirectorioPrueba.h"
#include "simulador/PuertoSimulado.h"

namespace {

using namespace std::chrono_literals;

QCoreApplication& Aplicacion() {
  static int argc = 1;
  static char nombre[] = "comm_test";
  static char* argv[] = {nombre, nullptr};
  static QCoreApplication aplicacion(argc, argv);
  return aplicacion;
}

std::string Azar(size_t largo, uint32_t semilla) {
  std::mt19937 azar(semilla);
  std::string bytes(largo, '\0');
  for (char& b : bytes) b = static_cast<char>(azar());
  return bytes;
}

// A pseudo-terminal linked as COM2 in a temporary program directory, and a
// Comm pointed at it.
class CommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Aplicacion();
    comm.DirectorioPrograma(dir.Ruta());
    ASSERT_TRUE(comm.CommPort(2));
  }

  // Waits, without pumping events, until n bytes came through Input.
  std::string TomarSinEventos(size_t n) {
    std::string tomado;
    for (auto fin = std::chrono::steady_clock::now() + 20s;
         tomado.size() < n && std::chrono::steady_clock::now() < fin;) {
      tomado += comm.Input();
      std::this_thread::sleep_for(5ms);
    }
    return tomado;
  }

  DirectorioPrueba dir;
  PuertoSimulado central{dir.Ruta(), 2};
  Comm comm;
};

TEST(CommRuta, ComNDelDirectorioSiExisteSiNoTtyS) {
  DirectorioPrueba dir;
  std::filesystem::create_symlink("/dev/null", dir.Ruta() / "COM3");
  std::filesystem::create_symlink("/no/existe", dir.Ruta() / "COM5");
  EXPECT_EQ(Comm::RutaDispositivo(3, dir.Ruta()), dir.Ruta() / "COM3");
  EXPECT_EQ(Comm::RutaDispositivo(4, dir.Ruta()), "/dev/ttyS3");
  EXPECT_EQ(Comm::RutaDispositivo(1, dir.Ruta()), "/dev/ttyS0");
  // A broken link is still the port asked for, never a device of the machine.
  EXPECT_EQ(Comm::RutaDispositivo(5, dir.Ruta()), dir.Ruta() / "COM5");
}

TEST(CommRuta, ElDirectorioPorDefectoEsElDelPrograma) {
  Aplicacion();
  EXPECT_EQ(Comm::DirectorioEjecutable(),
            std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()));
}

TEST_F(CommTest, AbreCierraYNoSeAbreDosVeces) {
  ASSERT_TRUE(comm.Settings("9600,n,8,1"));
  EXPECT_FALSE(comm.PortOpen());
  ASSERT_TRUE(comm.PortOpen(true));
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_TRUE(central.EsperarApertura(2s));
  EXPECT_FALSE(comm.CommPort(3));  // not while open
  EXPECT_EQ(comm.CommPort(), 2);

  Comm otro;
  otro.DirectorioPrograma(dir.Ruta());
  ASSERT_TRUE(otro.CommPort(2));
  EXPECT_FALSE(otro.PortOpen(true));  // in use
  EXPECT_FALSE(otro.PortOpen());

  ASSERT_TRUE(comm.PortOpen(false));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_TRUE(comm.PortOpen(false));  // closing a closed port is no failure
  EXPECT_TRUE(otro.PortOpen(true));
}

TEST_F(CommTest, AjustesQueElDispositivoAceptaONo) {
  ASSERT_TRUE(comm.Settings("115200,n,8,2"));
  ASSERT_TRUE(comm.PortOpen(true));
  ASSERT_TRUE(comm.PortOpen(false));

  // A pseudo-terminal is always 8 bits without parity.
  ASSERT_TRUE(comm.Settings("9600,e,7,1"));
  const auto abierto = comm.PortOpen(true);
  EXPECT_FALSE(abierto);
  EXPECT_FALSE(comm.PortOpen());
  if (!abierto) {
    EXPECT_NE(abierto.Falla().Descripcion.find("COM2"), std::string::npos);
  }

  EXPECT_FALSE(comm.Settings("9600,,8,1"));
  EXPECT_FALSE(comm.Settings("9600,n,8,x"));
  EXPECT_EQ(comm.Settings(), "9600,e,7,1");  // a refused text changes nothing
  EXPECT_FALSE(comm.CommPort(0));
  EXPECT_FALSE(comm.CommPort(-1));
}

TEST_F(CommTest, NoAbreLoQueNoEsUnPuerto) {
  std::filesystem::create_symlink(dir.Ruta() / "nada", dir.Ruta() / "COM5");
  std::ofstream(dir.Ruta() / "COM6") << "no soy un puerto";
  for (int16_t puerto : {5, 6}) {
    ASSERT_TRUE(comm.CommPort(puerto));
    EXPECT_FALSE(comm.PortOpen(true)) << puerto;
    EXPECT_FALSE(comm.PortOpen());
  }
}

TEST_F(CommTest, LoQueEsperabaAlAbrirSeDescarta) {
  ASSERT_TRUE(central.Enviar("antes de abrir"));
  ASSERT_TRUE(comm.PortOpen(true));
  ASSERT_TRUE(central.Enviar("despues"));
  EXPECT_EQ(TomarSinEventos(7), "despues");
  EXPECT_EQ(comm.Input(), "");
}

// The window's thread may be stuck in a slow database call: the line must
// still be drained, far beyond what the terminal itself holds.
TEST_F(CommTest, VaciaLaLineaMientrasElHiloDeLaVentanaEstaOcupado) {
  int eventos = 0;
  QObject::connect(&comm, &Comm::OnComm, [&] { ++eventos; });
  ASSERT_TRUE(comm.PortOpen(true));
  const std::string datos = Azar(2 << 20, 1);
  auto enviado = std::async(std::launch::async, [&] { return central.Enviar(datos); });
  // Without a thread of the layer's own the writer would block for ever here.
  ASSERT_EQ(enviado.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(enviado.get());
  EXPECT_TRUE(central.EsperarLectura(5s));
  const std::string recibido = TomarSinEventos(datos.size());
  EXPECT_EQ(recibido.size(), datos.size());
  EXPECT_TRUE(recibido == datos);
  EXPECT_EQ(eventos, 0);
  // The notice queued meanwhile finds nothing left and raises no event.
  QCoreApplication::processEvents();
  EXPECT_EQ(eventos, 0);
}

TEST_F(CommTest, GranTransferenciaPorEventosSinPerderNada) {
  std::string recibido;
  bool enOtroHilo = false;
  QObject::connect(&comm, &Comm::OnComm, [&] {
    enOtroHilo |= QThread::currentThread() != QCoreApplication::instance()->thread();
    EXPECT_EQ(comm.CommEvent(), PuertoCaptura::kEventoRecibido);
    recibido += comm.Input();
  });
  EXPECT_EQ(comm.CommEvent(), 0);
  ASSERT_TRUE(comm.PortOpen(true));
  const std::string datos = Azar(8 << 20, 2);
  std::thread escritor([&] { EXPECT_TRUE(central.Enviar(datos)); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return recibido.size() >= datos.size(); }, 60000));
  escritor.join();
  EXPECT_EQ(recibido.size(), datos.size());
  EXPECT_TRUE(recibido == datos);
  EXPECT_FALSE(enOtroHilo);
}

TEST_F(CommTest, LosEventosSiguenMientrasQuedanBytes) {
  int eventos = 0;
  bool leer = false;
  std::string recibido;
  QObject::connect(&comm, &Comm::OnComm, [&] {
    ++eventos;
    if (leer) recibido += comm.Input();
  });
  ASSERT_TRUE(comm.PortOpen(true));
  ASSERT_TRUE(central.Enviar("abc"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return eventos >= 3; }, 5000));
  leer = true;
  EXPECT_TRUE(QTest::qWaitFor([&] { return recibido == "abc"; }, 5000));
  const int alLeer = eventos;
  QTest::qWait(200);
  EXPECT_EQ(eventos, alLeer);  // nothing waits, so no more events
}

TEST_F(CommTest, LlegadasSeguidasDanUnSoloEventoPendiente) {
  int eventos = 0;
  std::string recibido;
  QObject::connect(&comm, &Comm::OnComm, [&] {
    ++eventos;
    recibido += comm.Input();
  });
  ASSERT_TRUE(comm.PortOpen(true));
  std::string enviado;
  for (int i = 0; i < 30; ++i) {
    const std::string trozo = "linea " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(central.Enviar(trozo));
    enviado += trozo;
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_TRUE(central.EsperarLectura(5s));
  QCoreApplication::processEvents();
  EXPECT_EQ(eventos, 1);
  EXPECT_EQ(recibido, enviado);
}

double SegundosDeCpu() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The receive handler pumps events while it waits: bytes that arrive then
// are not given to a nested handler, nor bounced as notices while it runs,
// but given once it has returned.
TEST_F(CommTest, UnManejadorQueBombeaEventosNoRecibeOtroDentro) {
  int profundidad = 0, maxima = 0, eventos = 0;
  std::string recibido;
  QObject::connect(&comm, &Comm::OnComm, [&] {
    maxima = std::max(maxima, ++profundidad);
    if (++eventos == 1) {
      EXPECT_TRUE(central.Enviar("segundo"));
      ASSERT_TRUE(central.EsperarLectura(5s));
      const double cpu = SegundosDeCpu();
      QTest::qWait(300);
      EXPECT_LT(SegundosDeCpu() - cpu, 0.15) << "notices bounced while the handler ran";
    }
    recibido += comm.Input();
    --profundidad;
  });
  ASSERT_TRUE(comm.PortOpen(true));
  ASSERT_TRUE(central.Enviar("primero"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return recibido == "primerosegundo"; }, 5000));
  EXPECT_EQ(maxima, 1);
  // Read in one go by the first handler; one more notice may find nothing.
  QTest::qWait(100);
  EXPECT_LE(eventos, 2);
}

TEST_F(CommTest, ConElBufferLlenoLaLineaEsperaSinPerderNada) {
  comm.LimiteRecepcion(1024);
  ASSERT_TRUE(comm.PortOpen(true));
  const std::string datos = Azar(300000, 3);
  std::thread escritor([&] { EXPECT_TRUE(central.Enviar(datos)); });
  std::this_thread::sleep_for(300ms);
  std::string recibido = comm.Input();
  EXPECT_LT(recibido.size(), 1024u + 65536u);  // held back, not piled up
  recibido += TomarSinEventos(datos.size() - recibido.size());
  escritor.join();
  EXPECT_TRUE(recibido == datos);
}

TEST(CommColgado, LaLineaCortadaNoGastaCpuYLoRecibidoSeConserva) {
  Aplicacion();
  DirectorioPrueba dir;
  Comm comm;
  comm.DirectorioPrograma(dir.Ruta());
  {
    PuertoSimulado central(dir.Ruta(), 1);
    ASSERT_TRUE(comm.PortOpen(true));
    ASSERT_TRUE(central.Enviar("ultimo"));
    ASSERT_TRUE(central.EsperarLectura(5s));
  }  // the exchange goes away: the line hangs up
  const double antes = SegundosDeCpu();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(SegundosDeCpu() - antes, 0.2);
  EXPECT_EQ(comm.Input(), "ultimo");
  EXPECT_TRUE(comm.PortOpen(false));
}

TEST_F(CommTest, CerrarConAvisosPendientesNoEntregaNada) {
  int eventos = 0;
  QObject::connect(&comm, &Comm::OnComm, [&] { ++eventos; });
  ASSERT_TRUE(comm.PortOpen(true));
  ASSERT_TRUE(central.Enviar("sin leer"));
  ASSERT_TRUE(central.EsperarLectura(5s));
  ASSERT_TRUE(comm.PortOpen(false));
  QTest::qWait(50);
  EXPECT_EQ(eventos, 0);
  EXPECT_EQ(comm.Input(), "");
}

}  // namespace
