#pragma once

#include <QWidget>

#include <memory>
#include <string>

#include "estacion/nucleo/Estacion.h"

class Comm;
class EstacionRemota;
class QAction;
class QMenu;
class QMenuBar;
class QSystemTrayIcon;
class frmPendientes;
class PanelEstacion;
class UnicaEstacion;

// The station's one window: port state on the status line, the text of the
// current burst, and the notification-area icon with its menu. It shows what
// the station tells and forwards the operator's commands to it: the station
// it runs itself, or the service that holds its directory, attached to
// through the service's link.
class frmCentralTelefonica : public QWidget {
  Q_OBJECT

 public:
  explicit frmCentralTelefonica(ReceptorLlamadas::CrearTelefono crearTelefono,
                                QWidget* padre = nullptr);
  ~frmCentralTelefonica() override;

  // Where Form_Load looks for CAPTURA.INI and the port finds its COMn links;
  // the directory of the running executable unless set.
  void DirectorioPrograma(const std::string& directorio) {
    estacion_.DirectorioPrograma(directorio);
  }

  // The clock of the silence watch (the steady clock unless set); before Form_Load.
  void RelojSilencio(VigiaSilencio::Reloj reloj) { estacion_.RelojSilencio(std::move(reloj)); }
  // The silence watch's check, every half minute while it is on.
  void RevisarSilencio() { estacion_.RevisarSilencio(); }

  // Where the station's log goes (the system log unless set); before Form_Load.
  void SumideroBitacora(Bitacora::Sumidero sumidero);

  // Start-up; false when the program must end: the port could not be opened,
  // another station that is no service holds the directory or its lock
  // cannot be had, there is neither a settings file nor a screen to make
  // one, or the system asked the station to end. On a directory a service
  // holds, the window attaches to it.
  bool Form_Load();
  // The system asked the station to end: no question, an open settings
  // dialog closes as every close does (saving), the port is closed.
  void TerminarPorSistema();
  bool Terminando() const { return saliendo_; }
  // After the event loop has ended: closes the port if still open, removes the icon.
  void Finalizar();

  Estacion& Nucleo() { return estacion_; }
  // What the window shows: its own station, or the service's once attached.
  VistaEstacion& Vista() { return *vista_; }
  bool Enlazada() const { return remota_ != nullptr; }
  EstadoCaptura& Estado() { return estacion_.Estado(); }
  // The status line; repainted at once.
  virtual void MostrarEstado(const std::string& texto);
  PanelEstacion* Panel() const { return panel_; }

  Comm& Puerto() { return estacion_.Puerto(); }
  ControlPuerto& Control() { return estacion_.Control(); }
  ReceptorLlamadas& Receptor() { return estacion_.Receptor(); }
  // The settings file found at start.
  const std::string& ArchivoAjustes() const { return estacion_.ArchivoAjustes(); }
  QMenu* Menu() const { return mnuArchivos; }
  QMenuBar* BarraMenu() const { return barraMenu_; }
  QSystemTrayIcon* Bandeja() const { return IconoBandeja; }
  bool EnBandeja() const;
  // Null until Form_Load has started it.
  ResguardoCaptura* Resguardo() const { return estacion_.Resguardo(); }

  void mnuAbrir_Click();
  void mnuConfiguracion_Click();
  void mnuSalirSistema_Click();
  // The window of the waiting and parked calls (from the window's menu).
  void mnuPendientes_Click();
  frmPendientes* VentanaPendientes() const { return frmPendientes_; }

 protected:
  void changeEvent(QEvent* evento) override;
  void closeEvent(QCloseEvent* evento) override;

 private:
  void CrearControles();
  // The size last used, in the user's settings, for the next start.
  void GuardarTamano();
  void CrearMenu();
  void Conectar(VistaEstacion& vista);
  // The start of the station in this process, once its lock is held.
  bool IniciarLocal(const mdlMain::UbicacionIni& ini);
  // Attaches to the service holding the directory; false when none answers.
  bool Enlazar();
  // Its own station or an attached service.
  bool Iniciada() const;
  void Form_Resize();
  void PonerEnBandeja();
  void QuitarDeBandeja();
  void IconoActivado(int razon);
  // True when the user confirmed the exit.
  bool Form_QueryUnload();
  void Presentar();
  // The line below the status line: a silent exchange, then what waits.
  void MostrarPendientes();
  void AvisarSilencio();
  QString TextoBandeja() const;

  QMenuBar* barraMenu_ = nullptr;
  PanelEstacion* panel_ = nullptr;
  QMenu* mnuArchivos = nullptr;
  QAction* mnuAbrir = nullptr;
  QAction* mnuConfiguracion = nullptr;
  QAction* mnuSalirSistema = nullptr;
  QMenu* mnuVer = nullptr;
  QAction* mnuPendientes = nullptr;
  frmPendientes* frmPendientes_ = nullptr;
  QSystemTrayIcon* IconoBandeja = nullptr;
  UnicaEstacion* unica_ = nullptr;
  Bitacora::Sumidero sumidero_;
  bool saliendo_ = false;
  Estacion estacion_;
  std::unique_ptr<EstacionRemota> remota_;
  VistaEstacion* vista_ = &estacion_;
};
