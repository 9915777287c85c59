#include "estacion/ajustes/FrmConfigura.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "estacion/ajustes/PerfilIni.h"
#include "estacion/ajustes/mdlMain.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/SinSaltarPermisos.h"

namespace {

class Dialogo : public ::testing::Test {
 protected:
  void SetUp() override { ini = dir.Ruta("CAPTURA.INI"); }

  template <typename T>
  T* Control(FrmConfigura& dlg, const char* nombre) {
    auto* c = dlg.findChild<T*>(QString::fromLatin1(nombre));
    EXPECT_NE(c, nullptr) << nombre;
    return c;
  }

  QString Texto(FrmConfigura& dlg, const char* nombre) {
    if (auto* c = dlg.findChild<QComboBox*>(QString::fromLatin1(nombre))) return c->currentText();
    return Control<QLineEdit>(dlg, nombre)->text();
  }

  static QStringList Entradas(QComboBox* lista) {
    QStringList entradas;
    for (int i = 0; i < lista->count(); ++i) entradas << lista->itemText(i);
    return entradas;
  }

  std::string Ini(const char* seccion, const char* clave) {
    char buffer[255];
    const auto n = PerfilIni::LeerValor(ini, seccion, clave, "<falta>", buffer, sizeof buffer);
    return std::string(buffer, n);
  }

  // Fills every control the way a user would leave them.
  void Editar(FrmConfigura& dlg) {
    Control<QComboBox>(dlg, "Combo1")->setEditText("COM 12");
    Control<QComboBox>(dlg, "Combo2")->setEditText("  9600 ");
    Control<QComboBox>(dlg, "Combo3")->setEditText("7");
    Control<QComboBox>(dlg, "Combo4")->setCurrentIndex(0);  // Even
    Control<QComboBox>(dlg, "Combo5")->setEditText("1.5");
    Control<QLineEdit>(dlg, "txtRutaFile")->setText(QString::fromStdString(dir.Ruta("sal.txt")));
    Control<QLineEdit>(dlg, "txtTimeConexion")->setText(" 4 ");
    Control<QLineEdit>(dlg, "txtMinutosCargo")->setText(" 45 ");
    Control<QComboBox>(dlg, "cmbOrdenFecha")->setCurrentIndex(1);  // DMA
    Control<QLineEdit>(dlg, "txtMinutosSinDatos")->setText(" 90 ");
  }

  void ComprobarGrabado() {
    EXPECT_EQ(Ini("configura", "puerto"), "12");
    EXPECT_EQ(Ini("configura", "bseg"), "9600");
    EXPECT_EQ(Ini("configura", "bdat"), "7");
    EXPECT_EQ(Ini("configura", "pari"), "Even");
    EXPECT_EQ(Ini("configura", "bpar"), "1.5");
    EXPECT_EQ(Ini("Rutas", "File"), dir.Ruta("sal.txt"));
    EXPECT_EQ(Ini("App", "TimeConexion"), "4");
    EXPECT_EQ(AjustesCaptura::Leer(ini).TicksFinRafaga(), 4);
    EXPECT_EQ(Ini("App", "MinutosCargoAutomatico"), "45");
    EXPECT_EQ(Ini("Central", "OrdenFecha"), "DMA");
    EXPECT_EQ(Ini("Central", "MinutosSinDatos"), "90");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.Ruta("sal.txt")));
  }

  DirectorioPrueba dir;
  std::string ini;
};

TEST_F(Dialogo, SinArchivoMuestraLasListasYCamposVacios) {
  FrmConfigura dlg(ini);
  dlg.show();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone again
  EXPECT_EQ(dlg.windowTitle(), "Configuraciones");
  EXPECT_TRUE(dlg.isModal());
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "Combo1")),
            QStringList({"COM 1", "COM 2", "COM 3", "COM 4"}));
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "Combo2")),
            QStringList({"110", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600",
                         "115200", "230400", "460800", "921600"}));
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "Combo3")), QStringList({"4", "5", "6", "7", "8"}));
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "Combo4")),
            QStringList({"Even", "Odd", "None", "Mark", "Space"}));
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "Combo5")), QStringList({"1", "1.5", "2"}));
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "cmbOrdenFecha")),
            QStringList({"", "DMA", "MDA", "AMD"}));
  for (const char* nombre :
       {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "txtRutaFile", "txtTimeConexion",
        "txtMinutosCargo", "cmbOrdenFecha", "txtMinutosSinDatos"}) {
    EXPECT_EQ(Texto(dlg, nombre), "") << nombre;
  }

  // Closing saves the empty values in the order of the first save; the
  // exchange's own section only once something is set in it.
  dlg.close();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(DirectorioPrueba::Leer(ini),
            "[configura]\npuerto=\nbseg=\nbdat=\npari=\nbpar=\n[Rutas]\nFile=\n[App]\n"
            "TimeConexion=\n");
  EXPECT_EQ(AjustesCaptura::Leer(ini).TicksFinRafaga(), std::nullopt);
}

TEST_F(Dialogo, CargaLosValoresTalComoEstanGuardados) {
  // Closing creates the file the path names: this relative one lands in the
  // working directory, so that is the test's own.
  struct EnDirectorio {
    std::filesystem::path antes = std::filesystem::current_path();
    explicit EnDirectorio(const std::filesystem::path& d) { std::filesystem::current_path(d); }
    ~EnDirectorio() {
      std::error_code ec;
      std::filesystem::current_path(antes, ec);
    }
  } enDirectorio(dir.Ruta());
  const std::string ansi = "C:\\Llamadas\\P\xe9rez.txt";  // written on Windows, not UTF-8
  DirectorioPrueba::Escribir(ini,
                             "[configura]\r\npuerto=2\r\nbseg=12345\r\nbdat=8\r\npari=none\r\n"
                             "bpar=1.5\r\n[Rutas]\r\nFile=" +
                                 ansi + "\r\n[App]\r\nTimeConexion=abc\r\n");
  FrmConfigura dlg(ini);
  dlg.show();
  EXPECT_EQ(Texto(dlg, "Combo1"), "COM 2");
  EXPECT_EQ(Texto(dlg, "Combo2"), "12345");  // not in the list, shown as stored
  EXPECT_EQ(Texto(dlg, "Combo3"), "8");
  EXPECT_EQ(Texto(dlg, "Combo4"), "none");
  EXPECT_EQ(Texto(dlg, "Combo5"), "1.5");
  EXPECT_EQ(Texto(dlg, "txtTimeConexion"), "abc");

  // Untouched text goes back with its own bytes; edited text goes as UTF-8.
  Control<QComboBox>(dlg, "Combo4")->setEditText(QString::fromUtf8("Ñone"));
  dlg.close();
  EXPECT_EQ(Ini("Rutas", "File"), ansi);
  EXPECT_TRUE(std::filesystem::exists(dir.Ruta(ansi)));
  EXPECT_EQ(Ini("configura", "pari"), "\xc3\x91one");
  EXPECT_EQ(Ini("App", "TimeConexion"), "abc");
  EXPECT_EQ(AjustesCaptura::Leer(ini).TicksFinRafaga(), std::nullopt);
}

struct Cierre {
  const char* nombre;
  std::function<void(FrmConfigura&)> cerrar;
};

void PrintTo(const Cierre& cierre, std::ostream* salida) { *salida << cierre.nombre; }

class CadaCierre : public Dialogo, public ::testing::WithParamInterface<Cierre> {};

TEST_P(CadaCierre, GrabaCadaClave) {
  FrmConfigura dlg(ini);
  dlg.show();
  Editar(dlg);
  GetParam().cerrar(dlg);
  EXPECT_FALSE(dlg.isVisible());
  ComprobarGrabado();
  const auto contenido = DirectorioPrueba::Leer(ini);
  EXPECT_NE(contenido.find("\nTimeConexion= 4 \n"), std::string::npos) << "saved as typed";
}

INSTANTIATE_TEST_SUITE_P(
    Dialogo, CadaCierre,
    ::testing::Values(
        Cierre{"Grabar",
               [](FrmConfigura& d) {
                 QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
               }},
        Cierre{"Cancelar",
               [](FrmConfigura& d) {
                 QTest::mouseClick(d.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
               }},
        Cierre{"Escape", [](FrmConfigura& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        Cierre{"CuadroCerrar", [](FrmConfigura& d) { d.close(); }}),
    [](const auto& info) { return std::string(info.param.nombre); });

// Typed text is kept as typed: neither completed from the entries nor
// changed in case.
TEST_F(Dialogo, LoEscritoEsLoQueSeGraba) {
  FrmConfigura dlg(ini);
  dlg.show();
  auto* velocidad = Control<QComboBox>(dlg, "Combo2");
  velocidad->clearEditText();
  QTest::keyClicks(velocidad, "1");
  auto* paridad = Control<QComboBox>(dlg, "Combo4");
  paridad->clearEditText();
  QTest::keyClicks(paridad, "even");
  dlg.close();
  EXPECT_EQ(Ini("configura", "bseg"), "1");
  EXPECT_EQ(Ini("configura", "pari"), "even");
}

// Every caption and button text whole, every caption apart from its box,
// every control inside the dialog: at Qt's default font and at a large
// desktop font (run at 96 and at 144 DPI).
TEST_F(Dialogo, CadaRotuloSeVeEnteroYApartadoDeSuCaja) {
  const QFont normal = QApplication::font();
  QFont grande = normal;
  grande.setPointSize(14);
  for (const QFont& letra : {normal, grande}) {
    QApplication::setFont(letra);
    FrmConfigura dlg(ini);
    dlg.show();
    const std::pair<const char*, const char*> pares[] = {
        {"Label1", "Combo1"},        {"Label3", "Combo2"},
        {"Label4", "Combo3"},        {"Label5", "Combo4"},
        {"Label6", "Combo5"},        {"Label7", "txtTimeConexion"},
        {"Label8", "cmbOrdenFecha"}, {"Label9", "txtMinutosSinDatos"},
        {"Label10", "cboOrigen"},    {"Label11", "cboModo"},
        {"Label12", "txtDireccion"}, {"Label13", "txtPuertoTcp"},
        {"Label14", "txtPermitida"}, {"Label15", "txtMinutosCargo"},
        {"Label2", nullptr}};
    for (const auto& [rotulo, caja] : pares) {
      auto* etiqueta = Control<QLabel>(dlg, rotulo);
      EXPECT_GE(etiqueta->width(), etiqueta->fontMetrics().horizontalAdvance(etiqueta->text()))
          << rotulo;
      if (caja) {
        EXPECT_GE(dlg.findChild<QWidget*>(caja)->x() - etiqueta->geometry().right(), 3) << rotulo;
      }
    }
    for (const char* nombre : {"cmdOK", "cmdCancel"}) {
      auto* boton = Control<QPushButton>(dlg, nombre);
      QStyleOptionButton opcion;
      opcion.initFrom(boton);
      const QRect dentro =
          boton->style()->subElementRect(QStyle::SE_PushButtonContents, &opcion, boton);
      EXPECT_LE(boton->fontMetrics().size(Qt::TextShowMnemonic, boton->text()).width(),
                dentro.width())
          << nombre;
      EXPECT_LE(boton->fontMetrics().height(), dentro.height()) << nombre;
    }
    for (auto* control : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      EXPECT_TRUE(dlg.rect().contains(control->geometry())) << control->objectName().toStdString();
      // A line of text inside the box's frame.
      if (qobject_cast<QPushButton*>(control)) continue;
      const int marco = qobject_cast<QLabel*>(control) ? 0 : 4;
      EXPECT_GE(control->height(), control->fontMetrics().height() + marco)
          << control->objectName().toStdString();
    }
  }
  QApplication::setFont(normal);
}

TEST_F(Dialogo, ModalConExecYAbiertoDosVecesLasListasNoSeRepiten) {
  FrmConfigura dlg(ini);
  for (int vez = 0; vez < 2; ++vez) {
    QTimer::singleShot(0, &dlg, [&] {
      EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
      EXPECT_EQ(Control<QComboBox>(dlg, "Combo1")->count(), 4);
      EXPECT_EQ(Control<QComboBox>(dlg, "Combo2")->count(), 13);
      EXPECT_EQ(Control<QComboBox>(dlg, "Combo3")->count(), 5);
      EXPECT_EQ(Control<QComboBox>(dlg, "Combo4")->count(), 5);
      EXPECT_EQ(Control<QComboBox>(dlg, "Combo5")->count(), 3);
      if (vez == 0) Editar(dlg);
      QTest::mouseClick(Control<QPushButton>(dlg, "cmdCancel"), Qt::LeftButton);
    });
    dlg.exec();
  }
  ComprobarGrabado();  // the second opening showed and saved the first one's values
  EXPECT_EQ(Texto(dlg, "Combo1"), "COM 12");
}

TEST_F(Dialogo, EnterEnUnaListaGraba) {
  FrmConfigura dlg(ini);
  dlg.show();
  QApplication::setActiveWindow(&dlg);
  Editar(dlg);
  auto* lista = Control<QComboBox>(dlg, "Combo1");
  lista->setFocus();
  QTest::keyClick(lista->lineEdit(), Qt::Key_Return);
  EXPECT_FALSE(dlg.isVisible());
  ComprobarGrabado();
  EXPECT_EQ(lista->count(), 4);  // the typed text did not join the list
}

TEST_F(Dialogo, ElArchivoDeSalidaConservaSuContenidoYUnaRutaMalaSeGuardaIgual) {
  const auto salida = dir.Ruta("llamadas.txt");
  DirectorioPrueba::Escribir(salida, "contenido previo\n");
  DirectorioPrueba::Escribir(ini, "[Rutas]\nFile=" + salida + "\n");
  FrmConfigura dlg(ini);
  dlg.show();
  QTest::mouseClick(Control<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);
  EXPECT_EQ(DirectorioPrueba::Leer(salida), "contenido previo\n");

  dlg.show();
  const auto mala = dir.Ruta("no/existe.txt");
  Control<QLineEdit>(dlg, "txtRutaFile")->setText(QString::fromStdString(mala));
  dlg.close();
  EXPECT_EQ(Ini("Rutas", "File"), mala);
}

// The file is writable, its directory is not: the temporary beside it
// cannot be made.
TEST_F(Dialogo, UnaGrabacionQueFallaSeAvisaSeRegistraYElDialogoSigueAbierto) {
  DirectorioPrueba::Escribir(ini, "[App]\nTimeConexion=5\n");
  ::chmod(ini.c_str(), 0666);
  ::chmod(dir.Ruta().c_str(), 0555);
  std::vector<std::string> registro;
  FrmConfigura dlg(ini);
  dlg.SumideroBitacora([&](int, const std::string& m) { registro.push_back(m); });
  dlg.show();
  Control<QLineEdit>(dlg, "txtTimeConexion")->setText("7");
  {
    SinSaltarPermisos sinPoder;
    QTest::mouseClick(Control<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);
  }
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(Texto(dlg, "txtTimeConexion"), "7");
  auto* aviso = dlg.findChild<QMessageBox*>(QStringLiteral("avisoNoGuardado"));
  ASSERT_NE(aviso, nullptr);
  EXPECT_TRUE(aviso->isVisible());
  EXPECT_TRUE(aviso->text().contains(QString::fromStdString(dir.Ruta().string())))
      << aviso->text().toStdString();
  ASSERT_EQ(registro.size(), 1u);
  EXPECT_NE(registro[0].find("No se grabó la configuración: " + dir.Ruta().string()),
            std::string::npos)
      << registro[0];
  EXPECT_EQ(Ini("App", "TimeConexion"), "5");

  // The cause mended, Grabar saves what the dialog kept.
  aviso->close();
  ::chmod(dir.Ruta().c_str(), 0755);
  QTest::mouseClick(Control<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(Ini("App", "TimeConexion"), "7");
  EXPECT_EQ(registro.size(), 1u);
}

TEST_F(Dialogo, DisposicionEnTwipsOrdenDeTabulacionYColores) {
  FrmConfigura dlg(ini);
  dlg.show();
  const int dx = dlg.logicalDpiX();
  const int dy = dlg.logicalDpiY();
  auto px = [](int twips, int dpi) { return qRound(twips * dpi / 1440.0); };
  // The designed places; a caption that needs room moves its box and what
  // stands right of it further right, and widens the dialog.
  auto lugar = [&](QWidget* control, int x, int y, int ancho, int alto) {
    EXPECT_GE(control->x(), px(x, dx)) << control->objectName().toStdString();
    EXPECT_LE(control->x(), px(x, dx) + 12) << control->objectName().toStdString();
    EXPECT_EQ(control->y(), px(y, dy)) << control->objectName().toStdString();
    EXPECT_EQ(control->size(), QSize(px(ancho, dx), px(alto, dy)))
        << control->objectName().toStdString();
  };
  EXPECT_GE(dlg.width(), px(5595, dx));
  EXPECT_LE(dlg.width(), px(5595, dx) + 12);
  EXPECT_EQ(dlg.height(), px(5700, dy));
  lugar(Control<QComboBox>(dlg, "Combo4"), 1680, 1290, 2445, 315);
  lugar(Control<QPushButton>(dlg, "cmdCancel"), 4440, 540, 1005, 375);
  lugar(Control<QLineEdit>(dlg, "txtTimeConexion"), 1650, 2700, 675, 315);
  auto* etiqueta = Control<QLabel>(dlg, "Label7");
  EXPECT_EQ(etiqueta->text(), QString::fromUtf8("Tiempo Conexión:"));
  EXPECT_EQ(etiqueta->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_EQ(Control<QLabel>(dlg, "Label2")->text(), "Ruta de Archivo a generar:");

  auto* ok = Control<QPushButton>(dlg, "cmdOK");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->text(), "&Grabar");
  EXPECT_EQ(Control<QPushButton>(dlg, "cmdCancel")->text(), "&Cancelar");

  const QStringList esperado = {"Combo1",          "Combo2",        "Combo3",
                                "Combo4",          "Combo5",        "txtRutaFile",
                                "cmdOK",           "cmdCancel",     "txtTimeConexion",
                                "txtMinutosCargo", "cmbOrdenFecha", "txtMinutosSinDatos",
                                "cboOrigen",       "cboModo",       "txtDireccion",
                                "txtPuertoTcp",    "txtPermitida"};
  QStringList orden;
  QWidget* w = Control<QComboBox>(dlg, "Combo1");
  do {
    if (esperado.contains(w->objectName()) && !orden.contains(w->objectName())) {
      orden << w->objectName();
    }
    w = w->nextInFocusChain();
  } while (w != Control<QComboBox>(dlg, "Combo1") && orden.size() < esperado.size());
  EXPECT_EQ(orden, esperado);
}

// The exchange on the network: its section is written once chosen, and a
// serial-only file gets none.
TEST_F(Dialogo, LaCentralEnLaRedSeGrabaSoloSiSeElige) {
  DirectorioPrueba::Escribir(ini, "[configura]\npuerto=1\n");
  FrmConfigura dlg(ini);
  dlg.show();
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "cboOrigen")), QStringList({"Serie", "Red"}));
  EXPECT_EQ(Entradas(Control<QComboBox>(dlg, "cboModo")), QStringList({"Cliente", "Servidor"}));
  dlg.close();
  EXPECT_EQ(DirectorioPrueba::Leer(ini).find("[Central]"), std::string::npos);

  dlg.show();
  Control<QComboBox>(dlg, "cboOrigen")->setCurrentIndex(1);
  Control<QComboBox>(dlg, "cboModo")->setCurrentIndex(1);
  Control<QLineEdit>(dlg, "txtDireccion")->setText(" 0.0.0.0 ");
  Control<QLineEdit>(dlg, "txtPuertoTcp")->setText("2300");
  // Listening with no address let in: Grabar says why and the dialog stays.
  Control<QLineEdit>(dlg, "txtPermitida")->setText(" , ");
  QTest::mouseClick(Control<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  auto* aviso = dlg.findChild<QMessageBox*>();
  ASSERT_NE(aviso, nullptr);
  EXPECT_TRUE(aviso->text().contains(QStringLiteral("\"Solo desde\"")));
  aviso->accept();
  EXPECT_EQ(DirectorioPrueba::Leer(ini).find("[Central]"), std::string::npos);
  Control<QLineEdit>(dlg, "txtPermitida")->setText("192.168.1.20");
  QTest::mouseClick(Control<QPushButton>(dlg, "cmdOK"), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(Ini("Central", "Origen"), "Red");
  EXPECT_EQ(Ini("Central", "Modo"), "Servidor");
  EXPECT_EQ(Ini("Central", "Direccion"), "0.0.0.0");
  EXPECT_EQ(Ini("Central", "Puerto"), "2300");
  EXPECT_EQ(Ini("Central", "Permitida"), "192.168.1.20");

  // Back to the serial line: the section stays and says so.
  dlg.show();
  EXPECT_EQ(Texto(dlg, "txtPuertoTcp"), "2300");
  Control<QComboBox>(dlg, "cboOrigen")->setCurrentIndex(0);
  dlg.close();
  EXPECT_EQ(Ini("Central", "Origen"), "Serie");
}

}  // namespace
