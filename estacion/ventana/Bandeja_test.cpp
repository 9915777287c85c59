// The window on a real X server (Xvfb) with a system tray (trayer): the
// notification icon, its menu, the way back, and the boxes the user answers.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <string>
#include <vector>

#include "estacion/ajustes/FrmConfigura.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/linea/Comm.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/RespuestaModal.h"
#include "prueba/VentanaRegistrada.h"
#include "simulador/PuertoSimulado.h"

extern char** environ;
using namespace std::chrono_literals;

namespace {

bool hayBandeja = false;
std::string motivoSinBandeja;

bool EnRuta(const std::string& programa) {
  const char* ruta = std::getenv("PATH");
  std::string resto = ruta ? ruta : "/usr/bin:/bin";
  for (size_t i = 0; i <= resto.size();) {
    const size_t fin = std::min(resto.find(':', i), resto.size());
    if (::access((resto.substr(i, fin - i) + "/" + programa).c_str(), X_OK) == 0) return true;
    i = fin + 1;
  }
  return false;
}

// Xvfb and trayer for the whole run; stopped by their ids at the end.
class Escritorio {
 public:
  bool Iniciar() {
    int tubo[2];
    if (::pipe(tubo) != 0) return false;
    const std::string fd = std::to_string(tubo[1]);
    if (!Lanzar(xvfb_,
                {"Xvfb", "-displayfd", fd, "-nolisten", "tcp", "-screen", "0", "800x600x24"})) {
      return false;
    }
    ::close(tubo[1]);
    std::string pantalla;
    char c;
    while (::read(tubo[0], &c, 1) == 1 && c != '\n') pantalla += c;
    ::close(tubo[0]);
    if (pantalla.empty()) return false;
    ::setenv("DISPLAY", (":" + pantalla).c_str(), 1);
    return Lanzar(trayer_, {"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                            "--height", "32", "--SetDockType", "true"});
  }

  ~Escritorio() {
    for (pid_t pid : {trayer_, xvfb_}) {
      if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
      }
    }
  }

 private:
  static bool Lanzar(pid_t& pid, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
  }

  pid_t xvfb_ = -1;
  pid_t trayer_ = -1;
};

std::string Estado(int puerto, const char* sufijo) {
  return "Puerto COM " + std::to_string(puerto) + sufijo;
}

// Runs xdotool with the event loop kept going, as a user's clicks would.
bool Xdotool(const QStringList& args) {
  QProcess proceso;
  proceso.setProcessChannelMode(QProcess::ForwardedChannels);
  proceso.start(QStringLiteral("xdotool"), args);
  return QTest::qWaitFor([&] { return proceso.state() == QProcess::NotRunning; }, 10000) &&
         proceso.exitCode() == 0;
}

class BandejaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!hayBandeja) GTEST_SKIP() << motivoSinBandeja;
    ventana.DirectorioPrograma(dir.Ruta());
    DirectorioPrueba::Escribir(
        dir.Ruta("CAPTURA.INI"),
        "[configura]\npuerto=1\nbseg=9600\nbdat=8\npari=None\nbpar=1\n[App]\nTimeConexion=2\n");
  }

  void Abrir() {
    ASSERT_TRUE(ventana.Form_Load());
    ventana.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ventana));
  }

  void Minimizar() {
    ventana.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ventana.isVisible() && ventana.EnBandeja(); }, 5000));
  }

  QAction* Accion(const QString& texto) {
    for (QAction* a : ventana.Menu()->actions()) {
      if (a->text() == texto) return a;
    }
    return nullptr;
  }

  // Clicks on the notification icon.
  bool ClicEnIcono(int veces) {
    QRect lugar;
    if (!QTest::qWaitFor(
            [&] {
              // Until trayer has taken it in, the icon sits at the origin;
              // trayer is at the top right.
              lugar = ventana.Bandeja()->geometry();
              return !lugar.isEmpty() && lugar.x() > 0;
            },
            5000)) {
      return false;
    }
    const QPoint centro = lugar.center();
    return Xdotool({QStringLiteral("mousemove"), QString::number(centro.x()),
                    QString::number(centro.y()), QStringLiteral("click"),
                    QStringLiteral("--repeat"), QString::number(veces), QStringLiteral("--delay"),
                    QStringLiteral("60"), QStringLiteral("1")});
  }

  DirectorioPrueba dir;
  PuertoSimulado central{dir.Ruta(), 1};
  TelefonoFalso telefono;
  VentanaRegistrada ventana{telefono};
};

TEST_F(BandejaTest, MinimizarLlevaALaBandejaYSeVuelve) {
  Abrir();
  EXPECT_FALSE(ventana.EnBandeja());
  EXPECT_FALSE(Accion(QStringLiteral("&Abrir"))->isVisible());

  Minimizar();
  EXPECT_EQ(ventana.Bandeja()->toolTip(), QStringLiteral("Zunta - Comunicación"));
  EXPECT_FALSE(ventana.Bandeja()->icon().isNull());
  EXPECT_TRUE(Accion(QStringLiteral("&Abrir"))->isVisible());
  EXPECT_TRUE(Accion(QStringLiteral("&Configuración"))->isVisible());
  EXPECT_TRUE(Accion(QStringLiteral("&Salir Sistema..."))->isVisible());
  EXPECT_TRUE(ventana.Puerto().PortOpen());  // capture goes on in the tray

  // A click on the icon pops up the menu.
  ASSERT_TRUE(ClicEnIcono(1));
  EXPECT_TRUE(QTest::qWaitFor([&] { return ventana.Menu()->isVisible(); }, 5000));
  ventana.Menu()->hide();

  // The menu's Abrir brings the window back and takes the icon away.
  Accion(QStringLiteral("&Abrir"))->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ventana.isVisible(); }, 5000));
  EXPECT_FALSE(ventana.isMinimized());
  EXPECT_FALSE(ventana.EnBandeja());
  EXPECT_FALSE(Accion(QStringLiteral("&Abrir"))->isVisible());
}

TEST_F(BandejaTest, DobleClicEnElIconoRestaura) {
  Abrir();
  Minimizar();
  ASSERT_TRUE(ClicEnIcono(2));
  EXPECT_TRUE(QTest::qWaitFor([&] { return ventana.isVisible() && !ventana.EnBandeja(); }, 5000));
  EXPECT_FALSE(ventana.isMinimized());
  EXPECT_FALSE(Accion(QStringLiteral("&Abrir"))->isVisible());
}

TEST_F(BandejaTest, LaSalidaDesdeLaBandeja) {
  Abrir();
  Minimizar();
  {
    RespuestaModal no([](QWidget* m) { RespuestaModal::Pulsar(m, QMessageBox::No); });
    ventana.mnuSalirSistema_Click();
    EXPECT_EQ(no.vistas, 1);
    EXPECT_EQ(no.ultima.titulo, "Salir Sistema");
    EXPECT_EQ(no.ultima.texto, "Desea salir del Programa de Comunicación...");
  }
  // No: still in the tray with the port open.
  EXPECT_TRUE(ventana.EnBandeja());
  EXPECT_FALSE(ventana.isVisible());
  EXPECT_TRUE(ventana.Puerto().PortOpen());

  RespuestaModal si([](QWidget* m) { RespuestaModal::Pulsar(m, QMessageBox::Yes); });
  EXPECT_EQ(SalirDelMenu(ventana), 0);
  EXPECT_EQ(si.vistas, 1);
  EXPECT_FALSE(ventana.EnBandeja());  // the icon goes before the end
  EXPECT_FALSE(ventana.Puerto().PortOpen());
  EXPECT_EQ(ventana.Linea(), Estado(1, "    : Cerrado."));
}

TEST_F(BandejaTest, SinArchivoDeAjustesElDialogoVaPrimero) {
  std::filesystem::remove(dir.Ruta("CAPTURA.INI"));
  bool puertoAbiertoEnDialogo = true;
  bool eraElDialogo = false;
  bool flechaNormal = false;
  RespuestaModal respuesta([&](QWidget* modal) {
    if (respuesta.vistas == 1) {
      eraElDialogo = qobject_cast<FrmConfigura*>(modal) != nullptr;
      flechaNormal = QApplication::overrideCursor() == nullptr;
      puertoAbiertoEnDialogo = ventana.Puerto().PortOpen();
    }
    RespuestaModal::Pulsar(modal, QMessageBox::Ok);
  });
  testing::internal::CaptureStderr();
  // The dialog is left without a port: the opening fails afterwards.
  EXPECT_FALSE(ventana.Form_Load());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(respuesta.vistas, 2);  // the dialog, then the error box
  EXPECT_TRUE(eraElDialogo);
  EXPECT_TRUE(flechaNormal) << "the start's busy pointer over the dialog";
  EXPECT_FALSE(puertoAbiertoEnDialogo);
  EXPECT_EQ(ventana.ArchivoAjustes(), dir.Ruta("CAPTURA.INI"));
  EXPECT_EQ(ventana.Linea(), Estado(0, "  : Cerrado."));
}

// A second start on the same directory touches nothing and brings the
// running station's window back from the tray.
TEST_F(BandejaTest, UnSegundoInicioMuestraLaVentanaDelPrimero) {
  Abrir();
  Minimizar();
  const auto antes = std::filesystem::last_write_time(dir.Ruta("CAPTURA.INI"));
  TelefonoFalso otroTelefono;
  VentanaRegistrada segunda{otroTelefono};
  segunda.DirectorioPrograma(dir.Ruta());
  RespuestaModal ninguna([](QWidget* m) { RespuestaModal::Pulsar(m, QMessageBox::Ok); });
  testing::internal::CaptureStderr();
  EXPECT_FALSE(segunda.Form_Load());
  const std::string error = testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("Sentrel ya está en marcha en " + dir.Ruta().string() +
                       "; se muestra su ventana."),
            std::string::npos)
      << error;
  EXPECT_EQ(ninguna.vistas, 0);
  EXPECT_FALSE(segunda.Puerto().PortOpen());
  EXPECT_TRUE(QTest::qWaitFor([&] { return ventana.isVisible() && !ventana.EnBandeja(); }, 5000));
  EXPECT_EQ(std::filesystem::last_write_time(dir.Ruta("CAPTURA.INI")), antes);
  EXPECT_TRUE(ventana.Puerto().PortOpen());
}

// On a screen the user sees the error box and closes it.
TEST_F(BandejaTest, UnPuertoQueNoAbreMuestraLaCajaDeError) {
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"),
                             "[configura]\npuerto=4\nbseg=9600\nbdat=8\npari=None\nbpar=1\n");
  std::filesystem::create_symlink(dir.Ruta("no-existe"), dir.Ruta("COM4"));
  std::string estadoEnCaja;
  RespuestaModal ok([&](QWidget* m) {
    estadoEnCaja = ventana.Linea();
    RespuestaModal::Pulsar(m, QMessageBox::Ok);
  });
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ventana.Form_Load());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(ok.vistas, 1);
  EXPECT_EQ(ok.ultima.titulo, "Error - Verificar configuraciones");
  EXPECT_EQ(ok.ultima.texto, "Puerto no se puede abrir. Intente nuevamente o con otro Puerto...");
  EXPECT_EQ(ok.ultima.icono, QMessageBox::Critical);
  EXPECT_EQ(ok.ultima.botones, QMessageBox::Ok);
  EXPECT_NE(estadoEnCaja, Estado(4, "  : Cerrado."));  // shown after the box is closed
  EXPECT_EQ(ventana.Linea(), Estado(4, "  : Cerrado."));
  EXPECT_FALSE(ventana.isVisible());
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    char plantilla[] = "/tmp/sentrel-xdg-XXXXXX";
    if (::mkdtemp(plantilla) != nullptr) setenv("XDG_RUNTIME_DIR", plantilla, 1);
  }
  // No session bus: Qt uses the X11 tray protocol that trayer speaks.
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  Escritorio escritorio;
  if (!EnRuta("Xvfb") || !EnRuta("trayer") || !EnRuta("xdotool")) {
    motivoSinBandeja = "Xvfb, trayer or xdotool is not installed";
  } else if (!escritorio.Iniciar()) {
    motivoSinBandeja = "Xvfb or trayer could not be started";
  }
  setenv("QT_QPA_PLATFORM", motivoSinBandeja.empty() ? "xcb" : "offscreen", 1);
  QApplication aplicacion(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (motivoSinBandeja.empty()) {
    hayBandeja = QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
    if (!hayBandeja) motivoSinBandeja = "trayer offers no system tray";
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
