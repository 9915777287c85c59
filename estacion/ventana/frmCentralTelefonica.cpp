#include "estacion/ventana/frmCentralTelefonica.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <optional>

#include "estacion/ajustes/FrmConfigura.h"
#include "estacion/ajustes/TextoEntero.h"
#include "estacion/ajustes/Twips.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/linea/Comm.h"
#include "estacion/ventana/LineaComandos.h"
#include "estacion/ventana/UnicaEstacion.h"
#include "estacion/ventana/frmPendientes.h"
#include "llamadas/RegistroLlamada.h"

using namespace std::chrono_literals;
using mdlMain::Intentar;

namespace {

constexpr auto kIntervaloTimerCheck = 1000ms;
constexpr auto kIntervaloSilencio = 30s;
constexpr int kAnchoArea = 5730;  // twips
constexpr int kAltoArea = 2955;
const QString kClaveTamano = QStringLiteral("ventana/tamano");

// The user's own settings (not CAPTURA.INI): the window's size.
QSettings Preferencias() { return QSettings(QStringLiteral("Sentrel"), QStringLiteral("Sentrel")); }
const QColor kAzulMarco(0x00, 0x00, 0x80);  // &H00800000
const QColor kGrisEstado(0xC0, 0xC0, 0xC0);
const QColor kRojoEstado(0x80, 0x00, 0x00);  // &H00000080

void PintarTexto(QWidget* control, const QColor& color) {
  QPalette paleta = control->palette();
  paleta.setColor(QPalette::WindowText, color);
  control->setPalette(paleta);
}

// The widest status text the label can show: with a two-digit port, or
// with the network source's name.
int AnchoEstados(const QLabel& etiqueta, const EstadoCaptura& estado) {
  EstadoCaptura ejemplo = estado;
  if (ejemplo.Origen.empty()) ejemplo.NumeroPuerto = 99;
  int ancho = 0;
  for (const char* sufijo : {ControlPuerto::kSufijoAbierto, ControlPuerto::kSufijoCerrado,
                             ControlPuerto::kSufijoNoAbierto, ReceptorLlamadas::kSufijoActivo,
                             ControlPuerto::kSufijoEsperando, ControlPuerto::kSufijoFinRafaga,
                             ControlPuerto::kSufijoPerdida, ControlPuerto::kSufijoNoEscucha,
                             ReceptorLlamadas::kSufijoInactivo}) {
    const auto texto = QString::fromStdString(ReceptorLlamadas::TextoEstado(ejemplo, sufijo));
    ancho = std::max(ancho, TextoEntero::Ancho(etiqueta, texto));
  }
  return ancho;
}

// Offscreen nobody could answer a dialog or a box.
bool HayPantalla() {
  const QString plataforma = QGuiApplication::platformName();
  return plataforma != QLatin1String("offscreen") && plataforma != QLatin1String("minimal");
}

std::string TextoSinAjustes(const std::string& directorio) {
  return "Falta " + std::string(mdlMain::kNombreArchivoIni) + " en " + directorio +
         ". Sin pantalla no se puede abrir el diálogo de configuración: inicie Sentrel una vez "
         "con pantalla y grabe el diálogo, o escriba el archivo con las claves que lista el "
         "README (sección \"CAPTURA.INI\").";
}

QIcon IconoPrograma() {
  QIcon icono;
  icono.addFile(QStringLiteral(":/sentrel/sentrel-32.png"), QSize(32, 32));
  icono.addFile(QStringLiteral(":/sentrel/sentrel-16.png"), QSize(16, 16));
  return icono;
}

}  // namespace

frmCentralTelefonica::frmCentralTelefonica(ReceptorLlamadas::CrearTelefono crearTelefono,
                                           QWidget* padre)
    : QWidget(padre),
      Comm1(new Comm(this)),
      unica_(new UnicaEstacion(this)),
      control_(*this, *Comm1),
      receptor_(*this, *Comm1, crearTelefono),
      crearTelefono_(std::move(crearTelefono)),
      directorio_(mdlMain::DirectorioPrograma()) {
  CrearControles();
  CrearMenu();
  adjustSize();  // the designed size to begin with
  connect(Comm1, &Comm::OnComm, this, [this] {
    DatoRecibido();
    receptor_.Comm1_OnComm();
  });
  connect(TimerSilencio, &QTimer::timeout, this, &frmCentralTelefonica::RevisarSilencio);
  connect(TimerCheck, &QTimer::timeout, this, [this] { control_.TimerCheck_Timer(); });
  connect(Comm1, &Comm::OnLineaPerdida, this,
          [this](const captura::Fallo& motivo) { control_.LineaPerdida(motivo); });
  connect(Comm1, &Comm::OnLineaRecuperada, this, [this] { control_.LineaRecuperada(); });
  connect(Comm1, &Comm::OnAviso, this,
          [this](const std::string& texto) { control_.ConexionRechazada(texto); });
  connect(Comm1, &Comm::OnConexion, this,
          [this](const std::string& texto) { control_.ConexionAceptada(texto); });
  connect(TimerRepaso, &QTimer::timeout, this, &frmCentralTelefonica::Repasar);
  control_.Registro().AlRetener([this] { ProgramarRepaso(); });
  connect(unica_, &UnicaEstacion::Presentar, this, &frmCentralTelefonica::Presentar);
  connect(TimerReintento, &QTimer::timeout, this, [this] {
    resguardo_->Reintentar();
    MostrarPendientes();
    ProgramarReintento();
  });
}

frmCentralTelefonica::~frmCentralTelefonica() = default;

void frmCentralTelefonica::SumideroBitacora(Bitacora::Sumidero sumidero) {
  sumidero_ = sumidero;
  control_.SumideroBitacora(std::move(sumidero));
  control_.Registro().AlRetener([this] { ProgramarRepaso(); });
}

void frmCentralTelefonica::DirectorioPrograma(const std::string& directorio) {
  directorio_ = directorio;
  Comm1->DirectorioPrograma(directorio);
}

void frmCentralTelefonica::CrearControles() {
  setWindowTitle(QStringLiteral("Zunta - Comunicación"));
  setWindowIcon(IconoPrograma());
  // Every window of the station carries it, message boxes too.
  QApplication::setWindowIcon(windowIcon());
  // The menu in the window itself, above the designed client area: reachable
  // with its shortcuts on a desktop with no tray, where the icon's menu is not.
  auto* disposicion = new QVBoxLayout(this);
  disposicion->setContentsMargins(0, 0, 0, 0);
  disposicion->setSpacing(0);
  barraMenu_ = new QMenuBar(this);
  barraMenu_->setNativeMenuBar(false);
  disposicion->setMenuBar(barraMenu_);
  // The designed client area is the least the window shows; a larger
  // window gives the text pane the room.
  area_ = new QWidget(this);
  area_->setMinimumSize(mdlMain::TwipsAPixeles(kAnchoArea, area_->logicalDpiX()),
                        mdlMain::TwipsAPixeles(kAltoArea, area_->logicalDpiY()));
  disposicion->addWidget(area_);

  frameInfo = new QGroupBox(QStringLiteral("&Información"), area_);
  frameInfo->setObjectName(QStringLiteral("frameInfo"));
  Twips::Colocar(frameInfo, {90, 120, 5385, 1725});
  PintarTexto(frameInfo, kAzulMarco);
  txtLlegada = new QPlainTextEdit(frameInfo);
  txtLlegada->setObjectName(QStringLiteral("txtLlegada"));
  // What the exchange sent is shown, not edited; nor does a blinking cursor
  // wake the idle station twice a second.
  txtLlegada->setReadOnly(true);
  // Ctrl+C is the menu's Configuración, not a copy in the pane (the pane's
  // context menu still copies).
  txtLlegada->setFocusPolicy(Qt::NoFocus);
  Twips::Colocar(txtLlegada, {120, 240, 5145, 1365});
  // One call line is one screen line, its columns aligned.
  txtLlegada->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  txtLlegada->setLineWrapMode(QPlainTextEdit::NoWrap);

  Frame1 = new QGroupBox(QStringLiteral("&Estado"), area_);
  Twips::Colocar(Frame1, {90, 1830, 5385, 645});
  PintarTexto(Frame1, kAzulMarco);
  lblInformacion = new QLabel(QStringLiteral("Estado"), Frame1);
  lblInformacion->setObjectName(QStringLiteral("lblInformacion"));
  Twips::Colocar(lblInformacion, {720, 270, 495, 195});
  lblInformacion->setAutoFillBackground(true);
  QPalette paleta = lblInformacion->palette();
  paleta.setColor(QPalette::Window, kGrisEstado);
  paleta.setColor(QPalette::WindowText, kRojoEstado);
  lblInformacion->setPalette(paleta);
  // Calls kept because the database failed: a line of their own, apart
  // from the status line.
  lblPendientes = new QLabel(area_);
  lblPendientes->setObjectName(QStringLiteral("lblPendientes"));
  lblPendientes->setToolTip(
      QStringLiteral("Llamadas que la base de datos no tomó aún. Se ven, y las apartadas se "
                     "reintentan, en el menú Ver > Llamadas pendientes y apartadas (Ctrl+L)."));
  Twips::Colocar(lblPendientes, {90, 2520, 5385, 315});
  // A long line wraps, and the label grows downwards, the window with it.
  lblPendientes->setWordWrap(true);
  lblPendientes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Ensanchar();

  TimerCheck = new QTimer(this);
  TimerCheck->setObjectName(QStringLiteral("TimerCheck"));
  TimerCheck->setInterval(kIntervaloTimerCheck);
  TimerReintento = new QTimer(this);
  TimerReintento->setSingleShot(true);
  despertador_ = new QTimer(this);
  despertador_->setSingleShot(true);
  TimerSilencio = new QTimer(this);
  TimerSilencio->setInterval(kIntervaloSilencio);
  TimerRepaso = new QTimer(this);
  TimerRepaso->setSingleShot(true);
}

void frmCentralTelefonica::CrearMenu() {
  mnuArchivos = new QMenu(QStringLiteral("&Archivos"), this);
  mnuAbrir = mnuArchivos->addAction(QStringLiteral("&Abrir"));
  mnuAbrir->setVisible(false);
  mnuConfiguracion = mnuArchivos->addAction(QStringLiteral("&Configuración"));
  mnuConfiguracion->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  mnuArchivos->addSeparator();
  mnuSalirSistema = mnuArchivos->addAction(QStringLiteral("&Salir Sistema..."));
  mnuSalirSistema->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
  connect(mnuAbrir, &QAction::triggered, this, &frmCentralTelefonica::mnuAbrir_Click);
  connect(mnuConfiguracion, &QAction::triggered, this,
          &frmCentralTelefonica::mnuConfiguracion_Click);
  connect(mnuSalirSistema, &QAction::triggered, this, &frmCentralTelefonica::mnuSalirSistema_Click);
  barraMenu_->addMenu(mnuArchivos);
  // In the window only: the icon's menu stays as it was.
  mnuVer = barraMenu_->addMenu(QStringLiteral("&Ver"));
  mnuPendientes = mnuVer->addAction(QStringLiteral("Llamadas &pendientes y apartadas..."));
  mnuPendientes->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  connect(mnuPendientes, &QAction::triggered, this, &frmCentralTelefonica::mnuPendientes_Click);

  IconoBandeja = new QSystemTrayIcon(windowIcon(), this);
  IconoBandeja->setContextMenu(mnuArchivos);
  connect(IconoBandeja, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason razon) { IconoActivado(razon); });
}

void frmCentralTelefonica::MostrarEstado(const std::string& texto) {
  const QString nuevo = QString::fromStdString(texto);
  // Each tick of a burst repeats the text: nothing to lay out or paint again.
  if (lblInformacion->text() == nuevo) return;
  Intentar([&] {
    lblInformacion->setText(nuevo);
    lblInformacion->adjustSize();  // the line is wider than its designed box
    // A name longer than foreseen (the exchange on the network) widens the frame.
    if (lblInformacion->geometry().right() > Frame1->contentsRect().right()) Ensanchar();
  });
  Intentar([&] { lblInformacion->repaint(); });
}

void frmCentralTelefonica::HabilitarTimerCheck(bool habilitado) {
  if (habilitado) {
    if (!TimerCheck->isActive()) TimerCheck->start();
  } else {
    TimerCheck->stop();
  }
}

void frmCentralTelefonica::MostrarLlegada(const std::string& texto) {
  txtLlegada->setPlainText(QString::fromLatin1(texto.data(), static_cast<qsizetype>(texto.size())));
}

void frmCentralTelefonica::ProcesarEventos(std::chrono::milliseconds esperaMaxima) {
  if (esperaMaxima <= 0ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // The wake-up timer bounds the sleep; any other event ends it sooner.
  despertador_->start(esperaMaxima);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  despertador_->stop();
}

bool frmCentralTelefonica::Form_Load() {
  Intentar([] { QApplication::setOverrideCursor(Qt::BusyCursor); });
  mdlMain::UbicacionIni ini;
  Intentar([&] {
    ini = mdlMain::UbicarArchivoIni(directorio_);
    archivoIni_ = ini.ruta;
  });
  // Nothing in the program directory is touched before the lock is held.
  if (!ini.existe && !HayPantalla()) return Abandonar(TextoSinAjustes(directorio_));
  if (const auto tomada = unica_->Tomar(directorio_); !tomada) {
    if (tomada.Falla().Numero == EBUSY) return Abandonar(OtraEstacion(tomada.Falla().Descripcion));
    return NoSeInicia(tomada.Falla().Descripcion +
                      ". El usuario de la estación debe ser dueño de " + directorio_ +
                      " (ver el README, \"Installing at a hotel\").");
  }
  if (!unica_->FalloEscucha().empty()) {
    Intentar([&] { Bitacora(sumidero_).SinSegundoInicio(unica_->FalloEscucha()); });
  }
  Intentar([&] {
    if (ini.existe) return;
    // The dialog is the user's to fill: the normal pointer over it.
    QApplication::restoreOverrideCursor();
    mnuConfiguracion_Click();
    QApplication::setOverrideCursor(Qt::BusyCursor);
  });
  if (saliendo_) return Abandonar("");  // asked to end while the dialog was open
  Intentar([&] { IniciarResguardo(); });
  if (!control_.AbrirPuerto(ajustes_)) {
    Intentar([] { QApplication::restoreOverrideCursor(); });
    Intentar([&] { AvisarPuertoNoAbre(); });
    control_.MostrarSufijo(ControlPuerto::kSufijoNoAbierto);
    return false;
  }
  MostrarOrigen();
  vigia_.Reiniciar();  // the silence counts from the opening
  estado_.Recibiendo = 0;
  estado_.ContadorEspera = 0;
  Intentar([] { QApplication::restoreOverrideCursor(); });
  Intentar([&] { AnunciarInicio(); });
  Intentar([&] {
    const QSize tamano = Preferencias().value(kClaveTamano).toSize();
    if (tamano.isValid()) resize(tamano);
  });
  return true;
}

void frmCentralTelefonica::MostrarOrigen() {
  Intentar([&] {
    frameInfo->setTitle(
        estado_.Origen.empty()
            ? QStringLiteral("Información COM ") + QString::number(estado_.NumeroPuerto)
            : QStringLiteral("Información ") + QString::fromStdString(estado_.Origen));
    Ensanchar();
  });
}

void frmCentralTelefonica::AnunciarInicio() {
  std::string texto = "Sentrel " + LineaComandos::Version() + ", ";
  if (estado_.Origen.empty()) {
    const auto ruta = Comm::RutaDispositivo(estado_.NumeroPuerto, directorio_);
    std::error_code error;
    const auto dispositivo = std::filesystem::canonical(ruta, error);
    texto += "puerto COM" + std::to_string(estado_.NumeroPuerto) + " (" + ruta.string();
    if (!error && dispositivo != ruta) texto += " -> " + dispositivo.string();
    texto += ") " + Comm1->Settings();
  } else {
    texto += estado_.Origen;
  }
  const auto orden = receptor_.OrdenFecha();
  // The data source is the component's fixed one.
  texto +=
      ", origen de datos ODBC Tavro_Datos, fechas de la central " +
      (orden ? mdlMain::TextoOrdenFecha(*orden)
             : "en el orden regional " + mdlMain::TextoOrdenFecha(captura::Regional::OrdenFecha()));
  resguardo_->Registro().Inicio(texto);
}

bool frmCentralTelefonica::Abandonar(const std::string& motivo) {
  Intentar([] { QApplication::restoreOverrideCursor(); });
  if (!motivo.empty()) Intentar([&] { std::cerr << motivo << std::endl; });
  return false;
}

bool frmCentralTelefonica::NoSeInicia(const std::string& motivo) {
  const std::string texto = "Sentrel no se puede iniciar: " + motivo;
  Abandonar(texto);
  Intentar([&] { Bitacora(sumidero_).InicioFallido(motivo); });
  // Started from the menu there is no terminal: the box is all the user sees.
  if (HayPantalla()) {
    Intentar([&] {
      QMessageBox::critical(nullptr, QStringLiteral("Sentrel"), QString::fromStdString(texto));
    });
  }
  return false;
}

// A second start: the running station shows its window where there is a screen.
std::string frmCentralTelefonica::OtraEstacion(const std::string& motivo) {
  if (!HayPantalla()) return motivo + "; este inicio termina sin tocar nada.";
  return motivo + (UnicaEstacion::PedirPresentar(directorio_) ? "; se muestra su ventana."
                                                              : "; no respondió.");
}

void frmCentralTelefonica::Presentar() {
  QuitarDeBandeja();
  Intentar([&] { raise(); });
}

// The journal and the kept calls, before the port opens: what a crash left
// over is posted before new data.
void frmCentralTelefonica::IniciarResguardo() {
  resguardo_ =
      std::make_unique<ResguardoCaptura>(directorio_, *Comm1, receptor_, crearTelefono_, sumidero_);
  // Dates of the lines a crash left over are read in the order set.
  AplicarAjustesCentral();
  receptor_.AvisarFechaIlegible([this](std::string_view linea) {
    const auto orden = receptor_.OrdenFecha().value_or(captura::Regional::OrdenFecha());
    resguardo_->Registro().FechaIlegible(linea, mdlMain::TextoOrdenFecha(orden));
  });
  resguardo_->AlCambiar([this] {
    MostrarPendientes();
    ProgramarReintento();
  });
  resguardo_->Registro().AlRetener([this] { ProgramarRepaso(); });
  control_.AlDescartarEntrada([r = resguardo_.get()](uint64_t fin) { r->Descartados(fin); });
  resguardo_->Iniciar();
  MostrarPendientes();
  ProgramarReintento();
}

void frmCentralTelefonica::AplicarAjustesCentral() {
  Intentar([&] { ajustes_ = AjustesCaptura::Leer(archivoIni_); });
  receptor_.OrdenFecha(ajustes_.OrdenFechaCentral());
  const auto avisarInvalido = [&](std::string AjustesCaptura::*valor, const std::string& usado) {
    if (resguardo_) {
      resguardo_->Registro().AjusteInvalido(AjustesCaptura::ClaveDe(valor).Nombre, ajustes_.*valor,
                                            usado);
    }
  };
  if (ajustes_.OrdenFechaInvalida()) {
    avisarInvalido(
        &AjustesCaptura::OrdenFecha,
        "el orden regional " + mdlMain::TextoOrdenFecha(captura::Regional::OrdenFecha()));
  }
  const auto sinDatos = ajustes_.SinDatos();
  if (sinDatos.Invalido) avisarInvalido(&AjustesCaptura::MinutosSinDatos, "0 (sin aviso)");
  vigia_.Limite(sinDatos.Valor);
  if (resguardo_) {
    const auto cargo = ajustes_.CargoAutomatico();
    if (cargo.Invalido) {
      avisarInvalido(&AjustesCaptura::MinutosCargo, std::to_string(cargo.Valor.count()));
    }
    resguardo_->Gestor().LimiteCargoAutomatico(cargo.Valor);
  }
  if (vigia_.Activa()) {
    TimerSilencio->start();
  } else {
    TimerSilencio->stop();
  }
  MostrarPendientes();
}

void frmCentralTelefonica::DatoRecibido() {
  const auto silencio = vigia_.Silencio();
  if (!vigia_.Dato()) return;
  if (resguardo_) resguardo_->Registro().DatosDeNuevo(silencio.count());
  MostrarPendientes();
}

void frmCentralTelefonica::RevisarSilencio() {
  if (!Comm1->PortOpen() || !vigia_.Revisar()) return;
  if (resguardo_) resguardo_->Registro().SinDatos(vigia_.Silencio().count());
  MostrarPendientes();
  if (EnBandeja()) {
    Intentar([&] {
      IconoBandeja->showMessage(windowTitle(), lblPendientes->text(), QSystemTrayIcon::Warning);
    });
  }
}

void frmCentralTelefonica::ProgramarReintento() {
  const auto proximo = resguardo_ ? resguardo_->ProximoIntento() : std::nullopt;
  if (!proximo) {
    TimerReintento->stop();
    return;
  }
  const auto espera = std::chrono::duration_cast<std::chrono::milliseconds>(
      *proximo - std::chrono::steady_clock::now());
  TimerReintento->start(std::max(espera, 0ms));
}

void frmCentralTelefonica::MostrarPendientes() {
  if (!resguardo_) return;
  Intentar([&] {
    QString texto = QString::fromStdString(resguardo_->Resumen());
    if (resguardo_->Pendientes() + resguardo_->Aparcadas() > 0) {
      texto += QStringLiteral("   (Ctrl+L: ver)");
    }
    if (vigia_.EnAlarma()) {
      const auto desde = QTime::currentTime().addSecs(-60 * vigia_.Silencio().count());
      texto = QStringLiteral("Sin datos de la central desde las %1.   ")
                  .arg(desde.toString(QStringLiteral("hh:mm"))) +
              texto;
    }
    MostrarAviso(texto, vigia_.EnAlarma());
  });
  Intentar([&] { IconoBandeja->setToolTip(TextoBandeja()); });
  if (frmPendientes_ && frmPendientes_->isVisible())
    Intentar([&] { frmPendientes_->Actualizar(); });
}

void frmCentralTelefonica::MostrarAviso(const QString& texto, bool alarma) {
  PintarTexto(lblPendientes, alarma ? kRojoEstado : palette().color(QPalette::WindowText));
  lblPendientes->setText(texto);
  Acomodar();
}

// The caption alone while nothing waits.
QString frmCentralTelefonica::TextoBandeja() const {
  if (!resguardo_ || resguardo_->Pendientes() + resguardo_->Aparcadas() == 0) return windowTitle();
  return windowTitle() + QLatin1Char('\n') + QString::fromStdString(resguardo_->Resumen());
}

void frmCentralTelefonica::AvisarPuertoNoAbre() {
  std::cerr << kTituloNoAbre << ": " << kMensajeNoAbre << std::endl;
  // With no screen nobody could close the box, and the station would hang
  // instead of ending; the message above is all it can give then.
  if (!HayPantalla()) return;
  QMessageBox::critical(nullptr, QString::fromUtf8(kTituloNoAbre),
                        QString::fromUtf8(kMensajeNoAbre));
}

void frmCentralTelefonica::resizeEvent(QResizeEvent* evento) {
  QWidget::resizeEvent(evento);
  Acomodar();
}

// Where a frame's caption or the status line's longest text does not fit
// the designed frames, the frames and the window are wider.
void frmCentralTelefonica::Ensanchar() {
  const int dpi = area_->logicalDpiX();
  const int marco = mdlMain::TwipsAPixeles(5385, dpi);
  const int estado = lblInformacion->x() + AnchoEstados(*lblInformacion, estado_) +
                     mdlMain::TwipsAPixeles(120, dpi);
  const int falta =
      std::max({estado, TextoEntero::Ancho(*frameInfo), TextoEntero::Ancho(*Frame1)}) - marco;
  area_->setMinimumWidth(mdlMain::TwipsAPixeles(kAnchoArea, dpi) + std::max(0, falta));
}

// The designed places, the frames and the pane widened and the lines below
// them moved by what the window has beyond its least size; the status
// line's frame taller where its font needs it, the line below the status
// taller where its text wraps.
void frmCentralTelefonica::Acomodar() {
  // Beyond the designed size: the least size may be wider, for the status line.
  const int ancho =
      std::max(0, area_->width() - mdlMain::TwipsAPixeles(kAnchoArea, area_->logicalDpiX()));
  Twips::Colocar(Frame1, {90, 1830, 5385, 645});
  const int masEstado = std::max(0, lblInformacion->y() + lblInformacion->sizeHint().height() - 1 -
                                        Frame1->contentsRect().bottom());
  const int masAvisos = std::max(
      0, lblPendientes->heightForWidth(mdlMain::TwipsAPixeles(5385, logicalDpiX()) + ancho) -
             mdlMain::TwipsAPixeles(315, logicalDpiY()));
  const int altoMinimo =
      mdlMain::TwipsAPixeles(kAltoArea, area_->logicalDpiY()) + masEstado + masAvisos;
  area_->setMinimumHeight(altoMinimo);
  const int alto = std::max(0, area_->height() - altoMinimo);
  auto colocar = [](QWidget* control, Twips::Rectangulo lugar, int masAncho, int masAlto,
                    int abajo) {
    Twips::Colocar(control, lugar);
    control->setGeometry(control->geometry().adjusted(0, abajo, masAncho, abajo + masAlto));
  };
  colocar(frameInfo, {90, 120, 5385, 1725}, ancho, alto, 0);
  colocar(txtLlegada, {120, 240, 5145, 1365}, ancho, alto, 0);
  // Below the frame's caption, whatever its font: the frame's border shows.
  const int arriba = frameInfo->contentsRect().top() - txtLlegada->y();
  if (arriba > 0) txtLlegada->setGeometry(txtLlegada->geometry().adjusted(0, arriba, 0, 0));
  colocar(Frame1, {90, 1830, 5385, 645}, ancho, masEstado, alto);
  colocar(lblPendientes, {90, 2520, 5385, 315}, ancho, masAvisos, alto + masEstado);
}

void frmCentralTelefonica::GuardarTamano() {
  if (isMinimized() || isMaximized()) return;
  Intentar([&] { Preferencias().setValue(kClaveTamano, size()); });
}

void frmCentralTelefonica::changeEvent(QEvent* evento) {
  QWidget::changeEvent(evento);
  if (evento->type() == QEvent::WindowStateChange) Form_Resize();
}

void frmCentralTelefonica::Form_Resize() {
  // Hidden once the state change has been handled, not inside it.
  if (isMinimized()) QTimer::singleShot(0ms, this, &frmCentralTelefonica::PonerEnBandeja);
}

bool frmCentralTelefonica::EnBandeja() const { return IconoBandeja->isVisible(); }

void frmCentralTelefonica::PonerEnBandeja() {
  if (!isMinimized() || EnBandeja()) return;
  // Without a tray the window stays minimised in the taskbar: hiding it
  // would leave no way back.
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  Intentar([&] {
    IconoBandeja->setToolTip(TextoBandeja());
    IconoBandeja->show();
  });
  Intentar([&] { hide(); });
  Intentar([&] { mnuAbrir->setVisible(true); });
}

void frmCentralTelefonica::QuitarDeBandeja() {
  Intentar([&] { IconoBandeja->hide(); });
  Intentar([&] { setWindowState(windowState() & ~Qt::WindowMinimized); });
  Intentar([&] { show(); });
  Intentar([&] { activateWindow(); });
  Intentar([&] { mnuAbrir->setVisible(false); });
}

void frmCentralTelefonica::IconoActivado(int razon) {
  switch (razon) {
    case QSystemTrayIcon::DoubleClick:
      mnuArchivos->hide();
      mnuAbrir_Click();
      break;
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::MiddleClick:
      mnuArchivos->popup(QCursor::pos());
      break;
    default:  // the context menu shows itself
      break;
  }
}

void frmCentralTelefonica::mnuAbrir_Click() { QuitarDeBandeja(); }

void frmCentralTelefonica::mnuConfiguracion_Click() {
  FrmConfigura dialogo(archivoIni_);
  dialogo.exec();
  // Before the start-up the resguardo applies them itself, and opens the port.
  if (!resguardo_) return;
  Intentar([&] { AplicarAjustesCentral(); });
  control_.AplicarTiempoConexion(ajustes_);
  if (!Comm1->PortOpen() && !saliendo_) ReabrirPuerto();
}

// Only a port the settings kept closed waits for the dialog (a listening one
// with no address let in); an open one keeps its settings until the next start.
void frmCentralTelefonica::ReabrirPuerto() {
  if (!control_.AbrirPuerto(ajustes_)) {
    Intentar([&] { AvisarPuertoNoAbre(); });
    control_.MostrarSufijo(ControlPuerto::kSufijoNoAbierto);
    return;
  }
  MostrarOrigen();
  vigia_.Reiniciar();
}

void frmCentralTelefonica::ProgramarRepaso() {
  std::optional<LimiteAvisos::Instante> proximo = control_.Registro().ProximoRepaso();
  if (resguardo_) {
    const auto otro = resguardo_->Registro().ProximoRepaso();
    if (otro && (!proximo || *otro < *proximo)) proximo = otro;
  }
  if (!proximo) return;
  const auto espera = std::max(
      std::chrono::ceil<std::chrono::milliseconds>(*proximo - std::chrono::steady_clock::now()),
      0ms);
  if (!TimerRepaso->isActive() || espera < TimerRepaso->remainingTimeAsDuration()) {
    TimerRepaso->start(espera);
  }
}

void frmCentralTelefonica::Repasar() {
  control_.Registro().Repasar();
  if (resguardo_) resguardo_->Registro().Repasar();
  ProgramarRepaso();
}

void frmCentralTelefonica::mnuSalirSistema_Click() { close(); }

void frmCentralTelefonica::mnuPendientes_Click() {
  if (!resguardo_) return;
  if (!frmPendientes_) {
    frmPendientes_ = new frmPendientes(resguardo_->Gestor(), this);
    frmPendientes_->setWindowIcon(windowIcon());
  }
  frmPendientes_->Actualizar();
  frmPendientes_->show();
  frmPendientes_->raise();
  frmPendientes_->activateWindow();
}

bool frmCentralTelefonica::Form_QueryUnload() {
  QMessageBox pregunta(QMessageBox::Information, QStringLiteral("Salir Sistema"),
                       QStringLiteral("Desea salir del Programa de Comunicación..."),
                       QMessageBox::Yes | QMessageBox::No, isVisible() ? this : nullptr);
  return pregunta.exec() == QMessageBox::Yes;
}

void frmCentralTelefonica::closeEvent(QCloseEvent* evento) {
  if (saliendo_) {
    evento->accept();
    return;
  }
  if (!Form_QueryUnload()) {
    evento->ignore();
    return;
  }
  saliendo_ = true;
  control_.CerrarPuerto();
  QuitarDeBandeja();
  evento->accept();
  QCoreApplication::exit(0);
}

void frmCentralTelefonica::TerminarPorSistema() {
  // The port stays open until the event loop has unwound: a receive event
  // under way still reads and posts what it was given.
  saliendo_ = true;
  for (QWidget* ventana : QApplication::topLevelWidgets()) {
    auto* dialogo = qobject_cast<FrmConfigura*>(ventana);
    if (dialogo && dialogo->isVisible()) Intentar([&] { dialogo->reject(); });
  }
  QCoreApplication::exit(0);
}

void frmCentralTelefonica::Finalizar() {
  GuardarTamano();
  if (Comm1->PortOpen()) control_.CerrarPuerto();
  Intentar([&] { IconoBandeja->hide(); });
  if (resguardo_) resguardo_->Registro().Fin();
}
