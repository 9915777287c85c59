#include "estacion/ventana/frmCentralTelefonica.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "estacion/ajustes/FrmConfigura.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/linea/Comm.h"
#include "estacion/ventana/PanelEstacion.h"
#include "estacion/ventana/TraduccionQt.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/RespuestaModal.h"
#include "prueba/VentanaRegistrada.h"
#include "simulador/CentralTcp.h"
#include "simulador/LineaCentral.h"
#include "simulador/LlamadaPrueba.h"
#include "simulador/PuertoSimulado.h"

using namespace std::chrono_literals;
using Textos = std::vector<std::string>;

namespace {

const std::string kIni1 =
    "[configura]\npuerto=1\nbseg=9600\nbdat=8\npari=None\nbpar=1\n[Rutas]\nFile=\n[App]\n";

std::string Estado(int puerto, const char* sufijo) {
  return "Puerto COM " + std::to_string(puerto) + sufijo;
}

class VentanaTest : public ::testing::Test {
 protected:
  void SetUp() override { ventana.DirectorioPrograma(dir.Ruta()); }
  void TearDown() override { QApplication::restoreOverrideCursor(); }

  void Ini(const std::string& tiempo, const std::string& nombre = "CAPTURA.INI") {
    DirectorioPrueba::Escribir(dir.Ruta(nombre), kIni1 + "TimeConexion=" + tiempo + "\n");
  }

  // With the exchange's own section; the log is kept in `registro`.
  void IniCentral(const std::string& clave) {
    DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"),
                               kIni1 + "TimeConexion=2\n[Central]\n" + clave + "\n");
    ventana.SumideroBitacora([this](int, const std::string& m) { registro.push_back(m); });
  }

  // Form_Load with nothing modal expected: anything modal is counted and closed.
  bool Cargar() {
    RespuestaModal guardia([](QWidget* m) { RespuestaModal::Pulsar(m, QMessageBox::Ok); });
    const bool abierto = ventana.Form_Load();
    modalesEnCarga = guardia.vistas;
    return abierto;
  }

  bool EsperarLinea(const std::string& texto, int ms = 10000) {
    return QTest::qWaitFor([&] { return ventana.Linea() == texto; }, ms);
  }

  QString Llegada() const {
    return ventana.findChild<QPlainTextEdit*>(QStringLiteral("txtLlegada"))->toPlainText();
  }

  DirectorioPrueba dir;
  TelefonoFalso telefono;
  std::vector<std::string> registro;  // outlives the window that writes into it
  VentanaRegistrada ventana{telefono};
  int modalesEnCarga = -1;
};

TEST_F(VentanaTest, CargaAbreElPuertoYMuestraElNumero) {
  PuertoSimulado central(dir.Ruta(), 1);
  Ini("3", "captura.ini");  // another case of the name counts as the file
  ASSERT_TRUE(Cargar());
  EXPECT_EQ(modalesEnCarga, 0);  // neither the dialog nor a box
  EXPECT_EQ(ventana.ArchivoAjustes(), dir.Ruta("captura.ini"));
  EXPECT_TRUE(ventana.Puerto().PortOpen());
  EXPECT_TRUE(central.EsperarApertura(0ms));
  EXPECT_EQ(ventana.Linea(), Estado(1, "  : Abierto."));
  EXPECT_EQ(ventana.findChild<QGroupBox*>(QStringLiteral("frameInfo"))->title(),
            QStringLiteral("Información COM 1"));
  EXPECT_EQ(ventana.Estado().Recibiendo, 0);
  EXPECT_EQ(ventana.Estado().ContadorEspera, 0);
  EXPECT_EQ(ventana.Estado().TiempoConexion, 3);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone
}

// One line to the log at the start and one at the end; a date order that
// means nothing is told, and the regional one used.
TEST_F(VentanaTest, InicioYFinEnElRegistroDelSistema) {
  PuertoSimulado central(dir.Ruta(), 1);
  IniCentral("OrdenFecha=dd/mm");
  ASSERT_TRUE(Cargar());
  ventana.Finalizar();
  ASSERT_EQ(registro.size(), 3u);
  EXPECT_EQ(registro[0].rfind("Valor no válido en CAPTURA.INI: OrdenFecha=dd/mm; se usa", 0), 0u)
      << registro[0];
  EXPECT_EQ(registro[1].rfind("Iniciado: Sentrel ", 0), 0u) << registro[1];
  for (const std::string& parte :
       {"puerto COM1 (" + dir.Ruta("COM1") + " -> /dev/pts/", std::string(") 9600,n,8,1"),
        std::string("origen de datos ODBC Tavro_Datos"), std::string("orden regional")}) {
    EXPECT_NE(registro[1].find(parte), std::string::npos) << parte;
  }
  EXPECT_EQ(registro[2], "Detenido");
}

// Offscreen nobody could fill the dialog in: the start ends, saying how to
// make the file, and leaves the directory as it was.
TEST_F(VentanaTest, SinPantallaNiArchivoDeAjustesTerminaDiciendoComo) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Cargar());
  const std::string error = testing::internal::GetCapturedStderr();
  EXPECT_EQ(modalesEnCarga, 0);  // no dialog, no box
  EXPECT_NE(error.find("Falta CAPTURA.INI en " + dir.Ruta().string()), std::string::npos) << error;
  EXPECT_NE(error.find("README"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Ruta()));
}

// A lock that cannot be had for another reason than a running station (here
// its name taken by a directory): the start ends, saying why on standard
// error and in the system log.
TEST_F(VentanaTest, SinBloqueoTerminaDiciendoPorQue) {
  Ini("2");
  std::filesystem::create_directory(dir.Ruta("sentrel.bloqueo"));
  ventana.SumideroBitacora([this](int, const std::string& m) { registro.push_back(m); });
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Cargar());
  const std::string error = testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("Sentrel no se puede iniciar: " + dir.Ruta("sentrel.bloqueo")),
            std::string::npos)
      << error;
  ASSERT_EQ(registro.size(), 1u);
  EXPECT_TRUE(registro[0].starts_with("No se inició: " + dir.Ruta("sentrel.bloqueo")))
      << registro[0];
  EXPECT_FALSE(ventana.Puerto().PortOpen());
}

// Listening for the exchange with no address let in: the station stays up,
// the status line says why, and the port opens once the dialog has saved one.
TEST_F(VentanaTest, EscucharSinDireccionPermitidaEsperaAlDialogo) {
  const std::string puerto = std::to_string(CentralTcp::PuertoLibre());
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"),
                             kIni1 +
                                 "TimeConexion=2\n[Central]\nOrigen=Red\nModo=Servidor\n"
                                 "Direccion=127.0.0.1\nPuerto=" +
                                 puerto + "\nPermitida=\n");
  ventana.SumideroBitacora([this](int, const std::string& m) { registro.push_back(m); });
  testing::internal::CaptureStderr();
  ASSERT_TRUE(Cargar());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(modalesEnCarga, 0);
  EXPECT_FALSE(ventana.Puerto().PortOpen());
  const std::string origen = "Central 127.0.0.1:" + puerto;
  EXPECT_EQ(ventana.Linea(), origen + ControlPuerto::kSufijoNoEscucha);

  RespuestaModal respuesta([](QWidget* modal) {
    modal->findChild<QLineEdit*>(QStringLiteral("txtPermitida"))->setText("127.0.0.1");
    RespuestaModal::Pulsar(modal, QMessageBox::Cancel);  // every close saves
  });
  ventana.mnuConfiguracion_Click();
  EXPECT_EQ(respuesta.vistas, 1);
  EXPECT_TRUE(ventana.Puerto().PortOpen());
  EXPECT_EQ(ventana.Linea(), origen + ControlPuerto::kSufijoAbierto);
}

// A termination request while the settings dialog is open closes it the way
// every close does: what it holds is saved.
TEST_F(VentanaTest, TerminarConElDialogoAbiertoLoGraba) {
  PuertoSimulado central(dir.Ruta(), 1);
  Ini("2");
  ASSERT_TRUE(Cargar());
  RespuestaModal respuesta([&](QWidget* modal) {
    modal->findChild<QLineEdit*>(QStringLiteral("txtTimeConexion"))->setText(QStringLiteral("7"));
    ventana.TerminarPorSistema();
  });
  EXPECT_EQ(SalirDelMenu(ventana, 10s, &frmCentralTelefonica::mnuConfiguracion_Click), 0);
  EXPECT_EQ(respuesta.vistas, 1);
  EXPECT_TRUE(ventana.Terminando());
  EXPECT_NE(DirectorioPrueba::Leer(dir.Ruta("CAPTURA.INI")).find("TimeConexion=7"),
            std::string::npos);
}

TEST_F(VentanaTest, UnPuertoQueNoAbreTerminaSinQuedarEsperando) {
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"),
                             "[configura]\npuerto=7\nbseg=9600\nbdat=8\npari=None\nbpar=1\n");
  std::filesystem::create_symlink(dir.Ruta("no-existe"), dir.Ruta("COM7"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Cargar());
  const std::string error = testing::internal::GetCapturedStderr();
  // Offscreen nobody could close the box: the message goes to the error output.
  EXPECT_EQ(modalesEnCarga, 0);
  EXPECT_NE(error.find("Error - Verificar configuraciones: Puerto no se puede abrir. Intente "
                       "nuevamente o con otro Puerto..."),
            std::string::npos)
      << error;
  EXPECT_EQ(ventana.Linea(), Estado(7, "  : Cerrado."));
  EXPECT_FALSE(ventana.Puerto().PortOpen());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(VentanaTest, LaSalidaPreguntaYNoDejaTodoIgual) {
  PuertoSimulado central(dir.Ruta(), 1);
  Ini("2");
  ASSERT_TRUE(Cargar());
  ventana.show();
  {
    RespuestaModal no([](QWidget* m) { RespuestaModal::Pulsar(m, QMessageBox::No); });
    ventana.mnuSalirSistema_Click();
    EXPECT_EQ(no.vistas, 1);
    EXPECT_EQ(no.ultima.titulo, "Salir Sistema");
    EXPECT_EQ(no.ultima.texto, "Desea salir del Programa de Comunicación...");
    EXPECT_EQ(no.ultima.icono, QMessageBox::Information);
    EXPECT_EQ(no.ultima.botones, QMessageBox::Yes | QMessageBox::No);
  }
  EXPECT_TRUE(ventana.isVisible());
  EXPECT_TRUE(ventana.Puerto().PortOpen());
  EXPECT_EQ(ventana.Linea(), Estado(1, "  : Abierto."));

  // Capture goes on while the question waits.
  RespuestaModal tarde([&](QWidget* m) {
    central.Enviar(LlamadaPrueba("2104", "4561234", 61, 9).Texto() + "\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !telefono.Creas.empty(); }, 5000));
    RespuestaModal::Pulsar(m, QMessageBox::No);
  });
  ventana.close();
  EXPECT_EQ(telefono.Creas.size(), 1u);
  EXPECT_TRUE(ventana.Puerto().PortOpen());
}

// Yes ends the event loop, as in the program.
TEST_F(VentanaTest, LaSalidaConfirmadaCierraElPuerto) {
  PuertoSimulado central(dir.Ruta(), 1);
  Ini("2");
  ASSERT_TRUE(Cargar());
  ventana.show();
  RespuestaModal si([](QWidget* m) { RespuestaModal::Pulsar(m, QMessageBox::Yes); });
  EXPECT_EQ(SalirDelMenu(ventana), 0);
  EXPECT_EQ(si.vistas, 1);
  EXPECT_FALSE(ventana.Puerto().PortOpen());
  EXPECT_EQ(ventana.Linea(), Estado(1, "    : Cerrado."));
}

// Offscreen there is no tray: minimising must not hide the window.
// A database that does not answer: the call waits on its own line and in the
// tray's tip, apart from the status line, and is stored once it answers. The
// system log never holds the whole dialled number, nor the driver's control bytes.
TEST_F(VentanaTest, LaLlamadaQueNoSeGuardaQuedaPendienteALaVista) {
  PuertoSimulado central(dir.Ruta(), 1);
  Ini("3");
  ventana.SumideroBitacora([this](int, const std::string& m) { registro.push_back(m); });
  telefono.Fallar("Crea", {captura::kErrorConexion, "08S01: Communication\x1b link failure"});
  ASSERT_TRUE(Cargar());
  auto* pendientes = ventana.findChild<QLabel*>(QStringLiteral("lblPendientes"));
  ASSERT_NE(pendientes, nullptr);
  EXPECT_TRUE(pendientes->text().startsWith(QStringLiteral("Llamadas pendientes: 0")));
  EXPECT_EQ(ventana.Bandeja()->toolTip(), QStringLiteral("Zunta - Comunicación"));

  ASSERT_TRUE(central.Enviar(LlamadaPrueba("2105", "4561234", 125, 1).Texto() + "\r\n"));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return pendientes->text().startsWith(QStringLiteral("Llamadas pendientes: 1")); },
      8000))
      << pendientes->text().toStdString();
  EXPECT_TRUE(ventana.Bandeja()->toolTip().contains(QStringLiteral("Llamadas pendientes: 1")));
  EXPECT_EQ(ventana.Linea().find("pendientes"), std::string::npos);

  telefono.Sanar("Crea");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return pendientes->text().startsWith(QStringLiteral("Llamadas pendientes: 0")); },
      10000));
  EXPECT_EQ(ventana.Bandeja()->toolTip(), QStringLiteral("Zunta - Comunicación"));
  // The failed attempt and the re-post, and nothing after it.
  QTest::qWait(2500);
  EXPECT_EQ(telefono.Creas.size(), 2u);
  int tapadas = 0;
  for (const std::string& m : registro) {
    EXPECT_EQ(m.find("4561234"), std::string::npos) << m;
    EXPECT_EQ(m.find('\x1b'), std::string::npos) << m;
    tapadas += m.find("|4561*** ") != std::string::npos;
  }
  EXPECT_GE(tapadas, 2);  // kept, then stored
}

// No tray offscreen: the window's own menu and its shortcuts reach the
// dialog and the exit.
TEST_F(VentanaTest, ElMenuDeLaVentanaFuncionaSinBandeja) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  PuertoSimulado central(dir.Ruta(), 1);
  Ini("2");
  ASSERT_TRUE(Cargar());
  ventana.show();
  ventana.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
  ASSERT_TRUE(ventana.BarraMenu()->isVisible());
  EXPECT_EQ(ventana.BarraMenu()->actions().front()->menu(), ventana.Menu());

  QStringList vistos;
  {
    RespuestaModal no([&](QWidget* m) {
      vistos << QString::fromLatin1(m->metaObject()->className());
      RespuestaModal::Pulsar(m, QMessageBox::No);
    });
    QTest::keyClick(&ventana, Qt::Key_C, Qt::ControlModifier);
    ventana.activateWindow();  // the dialog had it
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
    QTest::keyClick(&ventana, Qt::Key_F4, Qt::ControlModifier);
  }
  EXPECT_EQ(vistos, QStringList({"FrmConfigura", "QMessageBox"}));
  EXPECT_TRUE(ventana.isVisible());

  RespuestaModal si([](QWidget* m) { RespuestaModal::Pulsar(m, QMessageBox::Yes); });
  QTimer::singleShot(0ms, &ventana, [&] { ventana.Menu()->actions().back()->trigger(); });
  QTimer tope;
  tope.callOnTimeout([] { QCoreApplication::exit(2); });
  tope.start(10s);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(si.vistas, 1);
  EXPECT_FALSE(ventana.Puerto().PortOpen());
}

// Qt's own texts are Spanish, and every box carries the program's icon.
TEST_F(VentanaTest, LaPreguntaDeSalidaEnCastellanoYConElIcono) {
  ventana.show();
  QString si, no;
  bool conIcono = false;
  RespuestaModal respuesta([&](QWidget* m) {
    if (auto* caja = qobject_cast<QMessageBox*>(m)) {
      si = caja->button(QMessageBox::Yes)->text().remove(QLatin1Char('&'));
      no = caja->button(QMessageBox::No)->text().remove(QLatin1Char('&'));
      conIcono = !caja->windowIcon().isNull();
    }
    RespuestaModal::Pulsar(m, QMessageBox::No);
  });
  ventana.mnuSalirSistema_Click();
  EXPECT_EQ(si, QString::fromUtf8("Sí"));
  EXPECT_EQ(no, "No");
  EXPECT_TRUE(conIcono);
}

// Call lines in a fixed-pitch font, never wrapped; the window grows, never
// below its designed size, the pane with it; the next start has that size.
TEST_F(VentanaTest, PanelDeLetraFijaSinCortesYTamanoRecordado) {
  PuertoSimulado central(dir.Ruta(), 1);
  Ini("2");
  ASSERT_TRUE(Cargar());
  ventana.show();
  auto* panel = ventana.findChild<QPlainTextEdit*>(QStringLiteral("txtLlegada"));
  EXPECT_TRUE(QFontInfo(panel->font()).fixedPitch());
  EXPECT_EQ(panel->lineWrapMode(), QPlainTextEdit::NoWrap);

  const QSize minimo = ventana.size();
  EXPECT_EQ(minimo, ventana.minimumSize());
  const QSize panelMinimo = panel->size();
  ventana.resize(minimo - QSize(40, 40));
  EXPECT_EQ(ventana.size(), minimo);
  const QSize grande = minimo + QSize(200, 100);
  ventana.resize(grande);
  EXPECT_EQ(panel->size(), panelMinimo + QSize(200, 100));
  ventana.Finalizar();

  // The size is the user's, not the directory's: a station elsewhere has it
  // (this one still holds its directory).
  DirectorioPrueba otroDir;
  PuertoSimulado otraCentral(otroDir.Ruta(), 1);
  DirectorioPrueba::Escribir(otroDir.Ruta("CAPTURA.INI"), kIni1 + "TimeConexion=2\n");
  VentanaRegistrada otra(telefono);
  otra.DirectorioPrograma(otroDir.Ruta());
  ASSERT_TRUE(otra.Form_Load());
  EXPECT_EQ(otra.size(), grande);
  otra.Finalizar();
  QSettings(QStringLiteral("Sentrel"), QStringLiteral("Sentrel")).clear();
}

// Each status text, with a two-digit port or an exchange on the network,
// inside its frame; the frames' captions; the longest line below the
// status, wrapped inside its label and the window.
void ComprobarTextosEnteros(frmCentralTelefonica& ventana) {
  auto* info = ventana.findChild<QGroupBox*>(QStringLiteral("frameInfo"));
  auto* estado = ventana.findChild<QLabel*>(QStringLiteral("lblInformacion"));
  auto* marco = qobject_cast<QGroupBox*>(estado->parent());
  for (const std::string origen : {"", "Central 192.168.100.200:65535"}) {
    ventana.Estado().Origen = origen;
    ventana.Estado().NumeroPuerto = 12;
    for (const char* sufijo :
         {ControlPuerto::kSufijoAbierto, ControlPuerto::kSufijoCerrado,
          ControlPuerto::kSufijoNoAbierto, ReceptorLlamadas::kSufijoActivo,
          ReceptorLlamadas::kSufijoEsperando, ReceptorLlamadas::kSufijoFinRafaga,
          ReceptorLlamadas::kSufijoPerdida, ReceptorLlamadas::kSufijoInactivo}) {
      const std::string texto = ReceptorLlamadas::TextoEstado(ventana.Estado(), sufijo);
      ventana.MostrarEstado(texto);
      QCoreApplication::processEvents();
      EXPECT_LE(estado->fontMetrics().horizontalAdvance(QString::fromStdString(texto)),
                estado->contentsRect().width())
          << texto;
      const QRect dentro = marco->contentsRect();
      EXPECT_LE(estado->geometry().right(), dentro.right()) << texto;
      EXPECT_LE(estado->geometry().bottom(), dentro.bottom()) << texto;
    }
  }
  for (const QGroupBox* caja : {info, marco}) {
    EXPECT_LE(caja->minimumSizeHint().width(), caja->width()) << caja->title().toStdString();
  }
  EXPECT_GE(ventana.findChild<QPlainTextEdit*>(QStringLiteral("txtLlegada"))->y(),
            info->contentsRect().top());

  ventana.Panel()->MostrarAviso(
      QStringLiteral("Sin datos de la central desde las 23:59.   Llamadas pendientes: 12345   "
                     "Apartadas: 678   Archivo de pendientes: ver registro del sistema   Diario "
                     "sin guardar: 1048576 bytes   (Ctrl+L: ver)"),
      true);
  QCoreApplication::processEvents();
  auto* linea = ventana.findChild<QLabel*>(QStringLiteral("lblPendientes"));
  const QRect dentro = linea->contentsRect();
  const QRect ocupa = linea->fontMetrics().boundingRect(
      QRect(0, 0, dentro.width(), 100000), linea->wordWrap() ? Qt::TextWordWrap : 0, linea->text());
  EXPECT_LE(ocupa.width(), dentro.width());
  EXPECT_LE(ocupa.height(), dentro.height());
  EXPECT_GE(linea->y(), marco->geometry().bottom());
  EXPECT_TRUE(linea->parentWidget()->rect().contains(linea->geometry()));
}

// Every text of the window shows whole, at Qt's default font and at a large
// desktop font (run at 96 and at 144 DPI).
TEST_F(VentanaTest, CadaTextoDeLaVentanaSeVeEntero) {
  IniCentral("Origen=Red\nModo=Cliente\nDireccion=127.0.0.1\nPuerto=65535");
  ASSERT_TRUE(Cargar());
  ventana.show();
  EXPECT_EQ(ventana.findChild<QGroupBox*>(QStringLiteral("frameInfo"))->title(),
            QStringLiteral("Información Central 127.0.0.1:65535"));
  ComprobarTextosEnteros(ventana);
  ventana.Finalizar();
  QSettings(QStringLiteral("Sentrel"), QStringLiteral("Sentrel")).clear();

  const QFont normal = QApplication::font();
  QFont grande = normal;
  grande.setPointSize(14);
  QApplication::setFont(grande);
  {
    VentanaRegistrada otra(telefono);
    otra.show();
    ComprobarTextosEnteros(otra);
  }
  QApplication::setFont(normal);
}

// An hour without a byte: a warning below the status line and in the log,
// cleared by the next byte.
TEST_F(VentanaTest, SinDatosDeLaCentralSeAvisaHastaElSiguienteByte) {
  PuertoSimulado central(dir.Ruta(), 1);
  IniCentral("MinutosSinDatos=60");
  VigiaSilencio::Instante ahora{};
  ventana.RelojSilencio([&] { return ahora; });
  ASSERT_TRUE(Cargar());
  auto* linea = ventana.findChild<QLabel*>(QStringLiteral("lblPendientes"));
  ahora += 59min;
  ventana.RevisarSilencio();
  EXPECT_FALSE(linea->text().startsWith(QStringLiteral("Sin datos")));
  ahora += 1min;
  ventana.RevisarSilencio();
  EXPECT_TRUE(linea->text().startsWith(QStringLiteral("Sin datos de la central desde las ")))
      << linea->text().toStdString();
  EXPECT_EQ(registro.back(),
            "Sin datos de la central hace 60 minutos: revise el cable y la central");

  ASSERT_TRUE(central.Enviar("x"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !linea->text().startsWith(QStringLiteral("Sin")); }));
  EXPECT_EQ(registro.back(), "Llegan datos de la central tras 60 minutos sin datos");
}

TEST_F(VentanaTest, SinBandejaMinimizarNoEscondeLaVentana) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  ventana.show();
  ventana.showMinimized();
  QTest::qWait(100);
  EXPECT_TRUE(ventana.isVisible());
  EXPECT_TRUE(ventana.isMinimized());
  EXPECT_FALSE(ventana.EnBandeja());
  EXPECT_FALSE(ventana.Menu()->actions().front()->isVisible());  // "&Abrir"
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    char plantilla[] = "/tmp/sentrel-xdg-XXXXXX";
    if (::mkdtemp(plantilla) != nullptr) setenv("XDG_RUNTIME_DIR", plantilla, 1);
  }
  // The window's size is kept in the user's settings: not the real user's.
  char configuracion[] = "/tmp/sentrel-config-XXXXXX";
  if (::mkdtemp(configuracion) != nullptr) setenv("XDG_CONFIG_HOME", configuracion, 1);
  QApplication aplicacion(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  TraduccionQt::Cargar(aplicacion);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
