#include "estacion/ventana/frmCentralTelefonica.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include <unistd.h>

#include <cerrno>

#include "estacion/ajustes/FrmConfigura.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/enlace/EstacionRemota.h"
#include "estacion/ventana/AvisosInicio.h"
#include "estacion/ventana/LineaComandos.h"
#include "estacion/ventana/PanelEstacion.h"
#include "estacion/ventana/UnicaEstacion.h"
#include "estacion/ventana/frmPendientes.h"

using namespace std::chrono_literals;
using AvisosInicio::Abandonar;
using AvisosInicio::HayPantalla;
using mdlMain::Intentar;

namespace {

const QString kClaveTamano = QStringLiteral("ventana/tamano");
// A running service answers at once.
constexpr auto kEsperaServicio = 3s;

// The user's own settings (not CAPTURA.INI): the window's size.
QSettings Preferencias() { return QSettings(QStringLiteral("Sentrel"), QStringLiteral("Sentrel")); }
QIcon IconoPrograma() {
  QIcon icono;
  icono.addFile(QStringLiteral(":/sentrel/sentrel-32.png"), QSize(32, 32));
  icono.addFile(QStringLiteral(":/sentrel/sentrel-16.png"), QSize(16, 16));
  return icono;
}

}  // namespace

frmCentralTelefonica::frmCentralTelefonica(ReceptorLlamadas::CrearTelefono crearTelefono,
                                           QWidget* padre)
    : QWidget(padre), unica_(new UnicaEstacion(this)), estacion_(std::move(crearTelefono)) {
  CrearControles();
  CrearMenu();
  adjustSize();  // the designed size to begin with
  Conectar(estacion_);
  connect(&estacion_, &Estacion::PuertoNoAbre, this,
          [] { Intentar([] { AvisosInicio::PuertoNoAbre(); }); });
  connect(unica_, &UnicaEstacion::Presentar, this, &frmCentralTelefonica::Presentar);
}

frmCentralTelefonica::~frmCentralTelefonica() = default;

void frmCentralTelefonica::Conectar(VistaEstacion& vista) {
  connect(&vista, &VistaEstacion::CambioEstado, this, &frmCentralTelefonica::MostrarEstado);
  connect(&vista, &VistaEstacion::CambioLlegada, panel_, &PanelEstacion::MostrarLlegada);
  connect(&vista, &VistaEstacion::CambioAvisos, this, &frmCentralTelefonica::MostrarPendientes);
  connect(&vista, &VistaEstacion::AlarmaSilencio, this, &frmCentralTelefonica::AvisarSilencio);
  connect(&vista, &VistaEstacion::CambioOrigen, panel_,
          [this] { Intentar([&] { panel_->MostrarOrigen(); }); });
}

void frmCentralTelefonica::SumideroBitacora(Bitacora::Sumidero sumidero) {
  sumidero_ = sumidero;
  estacion_.SumideroBitacora(std::move(sumidero));
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
  panel_ = new PanelEstacion(estacion_.Estado(), this);
  disposicion->addWidget(panel_);
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

void frmCentralTelefonica::MostrarEstado(const std::string& texto) { panel_->MostrarEstado(texto); }

bool frmCentralTelefonica::Form_Load() {
  Intentar([] { QApplication::setOverrideCursor(Qt::BusyCursor); });
  const auto ini = estacion_.UbicarAjustes();
  const std::string& directorio = estacion_.DirectorioPrograma();
  // Nothing in the program directory is touched before the lock is held.
  // A directory this user may not read hides the file: the lock says why.
  const bool legible = ::access(directorio.c_str(), R_OK | X_OK) == 0;
  if (!ini.existe && legible && !HayPantalla()) {
    return Abandonar(AvisosInicio::SinAjustes(directorio));
  }
  const auto tomada = unica_->Tomar(directorio);
  // A service holds it: its operators may not even open its lock file.
  if (!tomada && !Enlazar()) {
    if (tomada.Falla().Numero == EBUSY)
      return Abandonar(AvisosInicio::OtraEstacion(tomada.Falla().Descripcion, directorio));
    return AvisosInicio::NoSeInicia(tomada.Falla().Descripcion +
                                        ". El usuario de la estación debe ser dueño de " +
                                        directorio + " (ver el README, \"Installing at a hotel\").",
                                    sumidero_);
  }
  if (tomada && !IniciarLocal(ini)) return false;
  Intentar([] { QApplication::restoreOverrideCursor(); });
  Intentar([&] {
    const QSize tamano = Preferencias().value(kClaveTamano).toSize();
    if (tamano.isValid()) resize(tamano);
  });
  return true;
}

bool frmCentralTelefonica::IniciarLocal(const mdlMain::UbicacionIni& ini) {
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
  Intentar([&] { estacion_.Iniciar(); });
  if (!estacion_.AbrirPuerto()) return false;
  Intentar([&] { estacion_.AnunciarInicio(LineaComandos::Version()); });
  return true;
}

// The service's station instead of this window's own, which never starts.
bool frmCentralTelefonica::Enlazar() {
  auto remota = std::make_unique<EstacionRemota>(estacion_.DirectorioPrograma());
  if (!remota->Conectar(kEsperaServicio)) return false;
  disconnect(&estacion_, nullptr, this, nullptr);
  disconnect(&estacion_, nullptr, panel_, nullptr);
  remota_ = std::move(remota);
  vista_ = remota_.get();
  panel_->Fuente(vista_->Fuente());
  Conectar(*vista_);
  // What the service told before the window listened.
  Intentar([&] { panel_->MostrarOrigen(); });
  MostrarEstado(vista_->TextoEstado());
  panel_->MostrarLlegada(vista_->TextoLlegada());
  MostrarPendientes();
  return true;
}

bool frmCentralTelefonica::Iniciada() const { return remota_ || Resguardo(); }

void frmCentralTelefonica::Presentar() {
  QuitarDeBandeja();
  Intentar([&] { raise(); });
}

// The silence has just become an alarm: a balloon where the window is in the tray.
void frmCentralTelefonica::AvisarSilencio() {
  if (!EnBandeja()) return;
  Intentar([&] {
    IconoBandeja->showMessage(windowTitle(), panel_->TextoAvisos(), QSystemTrayIcon::Warning);
  });
}

void frmCentralTelefonica::MostrarPendientes() {
  Intentar([&] {
    QString texto = QString::fromStdString(vista_->TextoAvisos());
    if (vista_->HayPendientes()) texto += QStringLiteral("   (Ctrl+L: ver)");
    panel_->MostrarAviso(texto, vista_->EnAlarma());
  });
  Intentar([&] { IconoBandeja->setToolTip(TextoBandeja()); });
  if (frmPendientes_ && frmPendientes_->isVisible())
    Intentar([&] { frmPendientes_->Actualizar(); });
}

// The caption alone while nothing waits.
QString frmCentralTelefonica::TextoBandeja() const {
  if (!vista_->HayPendientes()) return windowTitle();
  return windowTitle() + QLatin1Char('\n') + QString::fromStdString(vista_->Resumen());
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
  FrmConfigura dialogo(estacion_.ArchivoAjustes());
  dialogo.SumideroBitacora(sumidero_);
  dialogo.exec();
  // Before the start-up the station reads them itself, and opens the port.
  if (!Iniciada() || saliendo_) return;
  vista_->AjustesGrabados();
}

void frmCentralTelefonica::mnuSalirSistema_Click() { close(); }

void frmCentralTelefonica::mnuPendientes_Click() {
  if (!Iniciada()) return;
  if (!frmPendientes_) {
    frmPendientes_ = new frmPendientes(*vista_, this);
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
  estacion_.CerrarPuerto();
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
  Intentar([&] { IconoBandeja->hide(); });
  estacion_.Finalizar();
}
