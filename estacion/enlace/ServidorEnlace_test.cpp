// The service's link on a real local socket, with the station's real core
// behind it: what a window that breaks the protocol sends closes its own
// connection only.
#include "estacion/enlace/ServidorEnlace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "estacion/enlace/CanalEnlace.h"
#include "estacion/enlace/MensajeEnlace.h"
#include "estacion/nucleo/Estacion.h"
#include "prueba/DirectorioPrueba.h"

namespace {

using namespace std::chrono_literals;

captura::Resultado<std::unique_ptr<captura::_Telefono>> SinTelefono() {
  return captura::Fallo{captura::kNoSePuedeCrear, "sin componente"};
}

class Enlace : public ::testing::Test {
 protected:
  void SetUp() override {
    estacion.DirectorioPrograma(dir.Ruta());
    estacion.SumideroBitacora([this](int, const std::string& m) { registro.push_back(m); });
    ASSERT_TRUE(servidor.Escuchar(dir.Ruta()));
  }

  // A window's connection, with the messages it was sent.
  struct Ventana {
    QLocalSocket socket;
    std::vector<MensajeEnlace::Estado> estados;
    QByteArray recibido;
  };
  std::unique_ptr<Ventana> Conectar() {
    auto v = std::make_unique<Ventana>();
    QObject::connect(&v->socket, &QLocalSocket::readyRead, [p = v.get()] {
      p->recibido += p->socket.readAll();
      for (qsizetype fin; (fin = p->recibido.indexOf('\n')) >= 0; p->recibido.remove(0, fin + 1)) {
        const auto estado =
            MensajeEnlace::LeerEstado(QJsonDocument::fromJson(p->recibido.left(fin)).object());
        if (estado) p->estados.push_back(*estado);
      }
    });
    v->socket.connectToServer(QString::fromStdString(ServidorEnlace::Ruta(dir.Ruta())));
    EXPECT_TRUE(v->socket.waitForConnected(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !v->estados.empty(); }, 5000));
    return v;
  }

  DirectorioPrueba dir;
  std::vector<std::string> registro;
  Estacion estacion{SinTelefono};
  ServidorEnlace servidor{estacion, estacion.Control().Registro()};
};

TEST_F(Enlace, UnMensajeRotoCierraSoloSuConexion) {
  struct stat st {};
  ASSERT_EQ(::stat(ServidorEnlace::Ruta(dir.Ruta()).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);

  auto buena = Conectar();
  auto ilegible = Conectar();
  auto larga = Conectar();
  auto desconocida = Conectar();
  ASSERT_EQ(servidor.Ventanas(), 4u);
  ilegible->socket.write("{\"v\":1,\"tipo\":\n");
  larga->socket.write(QByteArray(ServidorEnlace::kMaximoPedido + 1, 'x'));
  desconocida->socket.write("{\"v\":1,\"tipo\":\"orden\",\"orden\":\"borrar-todo\"}\n");
  for (auto* rota : {ilegible.get(), larga.get(), desconocida.get()}) {
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return rota->socket.state() == QLocalSocket::UnconnectedState; }, 5000));
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return servidor.Ventanas() == 1u; }, 5000));
  EXPECT_EQ(buena->socket.state(), QLocalSocket::ConnectedState);
  ASSERT_FALSE(registro.empty());
  EXPECT_NE(registro.front().find("Ventana desconectada del enlace"), std::string::npos)
      << registro.front();

  // The window that kept to the protocol is still told of every change.
  estacion.Control().MostrarSufijo(ControlPuerto::kSufijoCerrado);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return buena->estados.back().TextoEstado == estacion.TextoEstado(); }, 5000));
  EXPECT_FALSE(estacion.TextoEstado().empty());
}

// Settings saved by a window are read again and applied by the service's
// station, as the desktop's dialog has its own station do.
TEST_F(Enlace, LosAjustesGrabadosPorUnaVentanaLosTomaLaEstacion) {
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"), "[Central]\nOrdenFecha=DMA\n");
  ASSERT_TRUE(estacion.UbicarAjustes().existe);
  estacion.Iniciar();
  auto ventana = Conectar();
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"), "[Central]\nOrdenFecha=XYZ\n");
  QJsonObject pedido = MensajeEnlace::DePedido({MensajeEnlace::Orden::AjustesGrabados});
  pedido.insert(QStringLiteral("v"), CanalEnlace::kVersion);
  ventana->socket.write(QJsonDocument(pedido).toJson(QJsonDocument::Compact) + '\n');
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return std::any_of(registro.begin(), registro.end(), [](const std::string& m) {
          return m.find("OrdenFecha=XYZ") != std::string::npos;
        });
      },
      5000));
  EXPECT_EQ(ventana->socket.state(), QLocalSocket::ConnectedState);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication aplicacion(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
