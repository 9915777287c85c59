#pragma once

#include <QWidget>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "estacion/ajustes/AjustesCaptura.h"
#include "estacion/linea/ControlPuerto.h"
#include "estacion/linea/ResguardoCaptura.h"
#include "estacion/ventana/VigiaSilencio.h"
#include "llamadas/ReceptorLlamadas.h"
#include "llamadas/VentanaCaptura.h"
#include "resguardo/Bitacora.h"

class Comm;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QSystemTrayIcon;
class QTimer;
class frmPendientes;
class UnicaEstacion;

// The station's one window: port state on the status line, the text of the
// current burst, and the notification-area icon with its menu.
class frmCentralTelefonica : public QWidget, public VentanaCaptura {
  Q_OBJECT

 public:
  static constexpr char kMensajeNoAbre[] =
      "Puerto no se puede abrir. Intente nuevamente o con otro Puerto...";
  static constexpr char kTituloNoAbre[] = "Error - Verificar configuraciones";

  explicit frmCentralTelefonica(ReceptorLlamadas::CrearTelefono crearTelefono,
                                QWidget* padre = nullptr);
  ~frmCentralTelefonica() override;

  // Where Form_Load looks for CAPTURA.INI and the port finds its COMn links;
  // the directory of the running executable unless set.
  void DirectorioPrograma(const std::string& directorio);

  // The clock of the silence watch (the steady clock unless set); before Form_Load.
  void RelojSilencio(VigiaSilencio::Reloj reloj) { vigia_ = VigiaSilencio(std::move(reloj)); }
  // The silence watch's check, every half minute while it is on.
  void RevisarSilencio();

  // Where the station's log goes (the system log unless set); before Form_Load.
  void SumideroBitacora(Bitacora::Sumidero sumidero);

  // Start-up; false when the program must end: the port could not be opened,
  // another station holds the directory or its lock cannot be had, there is
  // neither a settings file nor a screen to make one, or the system asked
  // the station to end.
  bool Form_Load();
  // The system asked the station to end: no question, an open settings
  // dialog closes as every close does (saving), the port is closed.
  void TerminarPorSistema();
  bool Terminando() const { return saliendo_; }
  // After the event loop has ended: closes the port if still open, removes the icon.
  void Finalizar();

  // VentanaCaptura
  EstadoCaptura& Estado() override { return estado_; }
  void MostrarEstado(const std::string& texto) override;
  void HabilitarTimerCheck(bool habilitado) override;
  // The line below the status line: wrapped where it is long, the window
  // taller for it; red for an alarm.
  void MostrarAviso(const QString& texto, bool alarma);
  void MostrarLlegada(const std::string& texto) override;
  void ProcesarEventos(std::chrono::milliseconds esperaMaxima) override;

  Comm& Puerto() { return *Comm1; }
  ControlPuerto& Control() { return control_; }
  ReceptorLlamadas& Receptor() { return receptor_; }
  // The settings file found at start.
  const std::string& ArchivoAjustes() const { return archivoIni_; }
  QMenu* Menu() const { return mnuArchivos; }
  QMenuBar* BarraMenu() const { return barraMenu_; }
  QSystemTrayIcon* Bandeja() const { return IconoBandeja; }
  bool EnBandeja() const;
  // Null until Form_Load has started it.
  ResguardoCaptura* Resguardo() const { return resguardo_.get(); }

  void mnuAbrir_Click();
  void mnuConfiguracion_Click();
  void mnuSalirSistema_Click();
  // The window of the waiting and parked calls (from the window's menu).
  void mnuPendientes_Click();
  frmPendientes* VentanaPendientes() const { return frmPendientes_; }

 protected:
  void changeEvent(QEvent* evento) override;
  void resizeEvent(QResizeEvent* evento) override;
  void closeEvent(QCloseEvent* evento) override;

 private:
  void CrearControles();
  void Acomodar();
  void Ensanchar();
  // The size last used, in the user's settings, for the next start.
  void GuardarTamano();
  void CrearMenu();
  void Form_Resize();
  void PonerEnBandeja();
  void QuitarDeBandeja();
  void IconoActivado(int razon);
  // True when the user confirmed the exit.
  bool Form_QueryUnload();
  void AvisarPuertoNoAbre();
  // One line to the system log: what the station runs on.
  void AnunciarInicio();
  // Ends the start-up: the reason on standard error.
  bool Abandonar(const std::string& motivo);
  std::string OtraEstacion(const std::string& motivo);
  // Ends the start-up for a failure the operator must mend: the reason on
  // standard error, in the system log and, on a screen, in a message box.
  bool NoSeInicia(const std::string& motivo);
  // The frame's caption names the source.
  void MostrarOrigen();
  // After the dialog: a port left closed opens with the new settings.
  void ReabrirPuerto();
  // The log's messages held back are told once their minute is over.
  void ProgramarRepaso();
  void Repasar();
  void Presentar();
  void IniciarResguardo();
  // The exchange's own settings of CAPTURA.INI and the charge's time limit,
  // read at start (before the queue is re-posted) and after the dialog.
  void AplicarAjustesCentral();
  void ProgramarReintento();
  // The line below the status line: a silent exchange, then what waits.
  void MostrarPendientes();
  void DatoRecibido();
  QString TextoBandeja() const;

  EstadoCaptura estado_;
  QMenuBar* barraMenu_ = nullptr;
  QWidget* area_ = nullptr;
  QGroupBox* frameInfo = nullptr;
  QPlainTextEdit* txtLlegada = nullptr;
  QGroupBox* Frame1 = nullptr;
  QLabel* lblInformacion = nullptr;
  QLabel* lblPendientes = nullptr;
  QTimer* TimerCheck = nullptr;
  QTimer* TimerReintento = nullptr;
  QTimer* despertador_ = nullptr;
  QTimer* TimerSilencio = nullptr;
  QTimer* TimerRepaso = nullptr;
  VigiaSilencio vigia_;
  Comm* Comm1 = nullptr;
  QMenu* mnuArchivos = nullptr;
  QAction* mnuAbrir = nullptr;
  QAction* mnuConfiguracion = nullptr;
  QAction* mnuSalirSistema = nullptr;
  QMenu* mnuVer = nullptr;
  QAction* mnuPendientes = nullptr;
  frmPendientes* frmPendientes_ = nullptr;
  QSystemTrayIcon* IconoBandeja = nullptr;
  UnicaEstacion* unica_ = nullptr;
  ControlPuerto control_;
  ReceptorLlamadas receptor_;
  ReceptorLlamadas::CrearTelefono crearTelefono_;
  std::string directorio_;
  std::string archivoIni_;
  AjustesCaptura ajustes_;
  Bitacora::Sumidero sumidero_;
  bool saliendo_ = false;
  // Last member: it closes the port before the journal the port writes into goes.
  std::unique_ptr<ResguardoCaptura> resguardo_;
};
