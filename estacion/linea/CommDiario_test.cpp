#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTest>

#include <string>

#include "estacion/linea/Comm.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/LimiteArchivo.h"
#include "resguardo/DiarioRecepcion.h"
#include "simulador/PuertoSimulado.h"

namespace {

using namespace std::chrono_literals;

QCoreApplication& Aplicacion() {
  static int argc = 1;
  static char nombre[] = "comm_diario_test";
  static char* argv[] = {nombre, nullptr};
  static QCoreApplication aplicacion(argc, argv);
  return aplicacion;
}

std::string Lineas(int desde, int cuantas) {
  std::string texto;
  for (int i = desde; i < desde + cuantas; ++i) {
    texto += "linea " + std::to_string(i) + std::string(70, '.') + "\r\n";
  }
  return texto;
}

// A pseudo-terminal linked as COM1 in a temporary program directory, the
// journal in the same directory, and a Comm that takes every receive event.
class CommDiario : public ::testing::Test {
 protected:
  void SetUp() override {
    Aplicacion();
    comm.DirectorioPrograma(dir.Ruta());
    ASSERT_TRUE(comm.CommPort(1));
    AbrirDiario();
    QObject::connect(&comm, &Comm::OnComm, [this] { AlRecibir(); });
  }

  void AbrirDiario() {
    auto abierto = DiarioRecepcion::Abrir(dir.Ruta());
    ASSERT_TRUE(abierto) << abierto.Falla().Descripcion;
    diario = std::move(abierto.Dato());
    ASSERT_TRUE(comm.Diario(diario.get()));
  }

  // Whatever Input gives must already be on disk. The journal is read after
  // Input: read before, it could miss bytes that arrived in between.
  void AlRecibir() {
    const std::string entrada = comm.Input();
    if (entrada.empty()) return;
    const auto disco = DiarioRecepcion::Leer(dir.Ruta());
    const uint64_t posicion = comm.PosicionEntrada();
    if (!recibido.empty()) {
      EXPECT_EQ(posicion, siguiente);
    }
    siguiente = posicion + entrada.size();
    recibido += entrada;
    if (!exigirDisco) return;
    ASSERT_TRUE(disco);
    ASSERT_EQ(disco.Dato().size(), 1u);
    const auto& tramo = disco.Dato().front();
    const std::string_view enDisco = tramo.Bytes;
    ASSERT_LE(tramo.Posicion, posicion);
    ASSERT_LE(posicion - tramo.Posicion, enDisco.size());
    EXPECT_TRUE(enDisco.substr(posicion - tramo.Posicion).starts_with(entrada))
        << "not yet on disk at position " << posicion;
  }

  bool Recibir(size_t largo) {
    return QTest::qWaitFor([&] { return recibido.size() >= largo; }, 20000);
  }

  DirectorioPrueba dir;
  PuertoSimulado central{dir.Ruta(), 1};
  std::unique_ptr<DiarioRecepcion> diario;
  Comm comm;
  std::string recibido;
  uint64_t siguiente = 0;
  bool exigirDisco = true;
};

TEST_F(CommDiario, CadaByteEstaEnElDiarioAntesDelEvento) {
  ASSERT_TRUE(comm.PortOpen(true));
  EXPECT_FALSE(comm.Diario(nullptr));  // not while open
  std::string enviado;
  for (int rafaga = 0; rafaga < 20; ++rafaga) {
    const std::string texto = Lineas(rafaga * 10, 1 + rafaga % 10);
    ASSERT_TRUE(central.Enviar(texto));
    enviado += texto;
    if (rafaga % 3 == 0) QTest::qWait(5);
  }
  ASSERT_TRUE(Recibir(enviado.size()));
  EXPECT_EQ(recibido, enviado);
  EXPECT_EQ(diario->Fin(),
            enviado.size() + 1);  // an opening continues nothing: one position skipped
  EXPECT_EQ(diario->Fallos(), 0u);
}

// The journal picks the numbering up where the last run left it, and the
// port's positions follow it.
TEST_F(CommDiario, LasPosicionesSiguenAlDiarioTrasReabrir) {
  ASSERT_TRUE(comm.PortOpen(true));
  const std::string primero = Lineas(0, 3);
  ASSERT_TRUE(central.Enviar(primero));
  ASSERT_TRUE(Recibir(primero.size()));
  diario->Completado(primero.size());  // all but the last line feed (the opening skipped one)
  ASSERT_TRUE(comm.PortOpen(false));
  ASSERT_TRUE(comm.Diario(nullptr));
  diario.reset();

  AbrirDiario();
  const auto resto = diario->Recuperar();
  ASSERT_TRUE(resto);
  ASSERT_EQ(resto.Dato().size(), 1u);
  EXPECT_EQ(resto.Dato().front().Posicion, primero.size());
  EXPECT_EQ(resto.Dato().front().Bytes, "\n");
  // What follows a new opening is a stretch of its own.
  recibido.clear();
  exigirDisco = false;
  ASSERT_TRUE(comm.PortOpen(true));
  ASSERT_TRUE(central.Enviar("mas"));
  ASSERT_TRUE(Recibir(3));
  // Each opening skips one position: what was received before it is not continued.
  EXPECT_EQ(comm.PosicionEntrada(), primero.size() + 2);
  EXPECT_EQ(diario->Fin(), primero.size() + 5);
}

TEST(CommSinDiario, LasPosicionesCuentanLoRecibidoAunLoQueSeCierraSinLeer) {
  Aplicacion();
  DirectorioPrueba dir;
  PuertoSimulado central(dir.Ruta(), 1);
  Comm comm;
  comm.DirectorioPrograma(dir.Ruta());
  ASSERT_TRUE(comm.PortOpen(true));
  std::string leido;
  const auto tomar = [&](size_t largo) {
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          leido = comm.Input();
          return !leido.empty();
        },
        5000));
    EXPECT_EQ(leido.size(), largo);
  };
  // Every opening skips one position, so what follows it continues nothing.
  ASSERT_TRUE(central.Enviar("uno"));
  tomar(3);
  EXPECT_EQ(comm.PosicionEntrada(), 1u);
  ASSERT_TRUE(central.Enviar("dos!"));
  tomar(4);
  EXPECT_EQ(comm.PosicionEntrada(), 4u);
  ASSERT_TRUE(central.Enviar("sin leer"));
  ASSERT_TRUE(central.EsperarLectura(5s));
  EXPECT_EQ(comm.PosicionFin(), 16u);
  ASSERT_TRUE(comm.PortOpen(false));
  ASSERT_TRUE(comm.PortOpen(true));
  ASSERT_TRUE(central.Enviar("tres"));
  tomar(4);
  EXPECT_EQ(comm.PosicionEntrada(), 17u);
}

// A journal that cannot write does not cost a byte: the bytes are delivered,
// kept, counted as a failure, and written once the disk takes them again.
TEST_F(CommDiario, UnDiarioQueNoPuedeEscribirNoDetieneLaRecepcion) {
  ASSERT_TRUE(comm.PortOpen(true));
  const std::string antes = Lineas(0, 2);
  ASSERT_TRUE(central.Enviar(antes));
  ASSERT_TRUE(Recibir(antes.size()));
  std::string enviado = antes;
  {
    LimiteArchivo limite(antes.size() + 24);
    exigirDisco = false;
    const std::string durante = Lineas(2, 5);
    ASSERT_TRUE(central.Enviar(durante));
    enviado += durante;
    ASSERT_TRUE(Recibir(enviado.size()));
    EXPECT_GT(diario->Fallos(), 0u);
    EXPECT_EQ(diario->SinAsegurar(), durante.size());
    EXPECT_FALSE(diario->UltimoFallo().Descripcion.empty());
  }
  exigirDisco = true;
  const std::string despues = Lineas(7, 1);
  ASSERT_TRUE(central.Enviar(despues));
  enviado += despues;
  ASSERT_TRUE(Recibir(enviado.size()));
  EXPECT_EQ(recibido, enviado);
  EXPECT_EQ(diario->SinAsegurar(), 0u);
  const auto disco = DiarioRecepcion::Leer(dir.Ruta());
  ASSERT_TRUE(disco);
  ASSERT_EQ(disco.Dato().size(), 1u);
  EXPECT_EQ(disco.Dato().front().Bytes, enviado);
}

}  // namespace
