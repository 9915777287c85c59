#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "estacion/ajustes/AjustesCaptura.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/linea/ControlPuerto.h"
#include "estacion/linea/ResguardoCaptura.h"
#include "estacion/nucleo/VigiaSilencio.h"
#include "estacion/nucleo/VistaEstacion.h"
#include "llamadas/ReceptorLlamadas.h"
#include "llamadas/VentanaCaptura.h"
#include "resguardo/Bitacora.h"

class Comm;
class QTimer;

// The station without its window: the exchange's line, the receive engine,
// the journal and the queue with its re-posting, the burst with its timers
// and the silence watch, configured from CAPTURA.INI. Needs no display: it
// tells what changed through its signals and takes the operator's commands.
class Estacion : public VistaEstacion, public VentanaCaptura {
  Q_OBJECT

 public:
  explicit Estacion(ReceptorLlamadas::CrearTelefono crearTelefono, QObject* padre = nullptr);
  ~Estacion() override;

  // Before Iniciar. Where CAPTURA.INI, the journal, the queue and the COMn
  // links are: the directory of the running executable unless set.
  void DirectorioPrograma(const std::string& directorio);
  const std::string& DirectorioPrograma() const { return directorio_; }
  // Where the station's log goes (the system log unless set).
  void SumideroBitacora(Bitacora::Sumidero sumidero);
  // The clock of the silence watch (the steady clock unless set).
  void RelojSilencio(VigiaSilencio::Reloj reloj) { vigia_ = VigiaSilencio(std::move(reloj)); }

  // CAPTURA.INI in the program directory, found without regard to case.
  mdlMain::UbicacionIni UbicarAjustes();
  const std::string& ArchivoAjustes() const { return archivoIni_; }

  // The journal and the kept calls, before the port opens: what a crash left
  // over is posted before new data. Reads the settings.
  void Iniciar();
  // True when the port is open on return, or left closed on purpose (see
  // ControlPuerto); false when it could not be opened.
  bool AbrirPuerto();
  // One line to the log: what the station runs on.
  void AnunciarInicio(const std::string& version);
  // The settings file changed: read again and applied.
  void NuevosAjustes();
  // Only a port the settings kept closed waits for them (a listening one
  // with no address let in); an open one keeps its settings until the next
  // start. False when it stays closed.
  bool ReabrirPuerto();
  void CerrarPuerto();
  // Closes the port if still open; the log's last line.
  void Finalizar();

  // The silence watch's check, every half minute while it is on.
  void RevisarSilencio();

  // What the window shows.
  EstadoCaptura& Estado() override { return estado_; }
  const std::string& TextoEstado() const override { return textoEstado_; }
  const std::string& TextoLlegada() const override { return textoLlegada_; }
  std::string TextoAvisos() const override;
  bool EnAlarma() const override { return vigia_.EnAlarma(); }
  bool HayPendientes() const override;
  std::string Resumen() const override;
  const EstadoCaptura& Fuente() const override { return estado_; }
  std::vector<FilaPendiente> FilasPendientes() const override;

  // Before Iniciar there is nothing kept to answer for.
  bool Devolver(uint64_t id) override;
  bool Cargar(uint64_t id) override;
  bool DescartarCargo(uint64_t id) override;
  // Applied as NuevosAjustes; a port kept closed by the settings opens.
  void AjustesGrabados() override;

  Comm& Puerto() { return *comm_; }
  ControlPuerto& Control() { return control_; }
  ReceptorLlamadas& Receptor() { return receptor_; }
  // Null until Iniciar.
  ResguardoCaptura* Resguardo() const { return resguardo_.get(); }

 signals:
  // The port could not be opened with the settings.
  void PuertoNoAbre();

 private:
  // VentanaCaptura
  void MostrarEstado(const std::string& texto) override;
  void HabilitarTimerCheck(bool habilitado) override;
  void MostrarLlegada(const std::string& texto) override;
  void EsperarInicio(std::chrono::milliseconds espera) override;

  void LeerAjustes();
  void AplicarAjustes();
  void PuertoAbierto();
  bool NoAbre();
  void DatoRecibido();
  void ProgramarReintento();
  void Reintentar();
  // The log's messages held back are told once their minute is over.
  void ProgramarRepaso();
  void Repasar();
  void Avisar();

  EstadoCaptura estado_;
  std::string textoEstado_;
  std::string textoLlegada_;
  Comm* comm_;
  QTimer* timerCheck_;
  QTimer* esperaInicio_;
  QTimer* timerReintento_;
  QTimer* timerSilencio_;
  QTimer* timerRepaso_;
  VigiaSilencio vigia_;
  ControlPuerto control_;
  ReceptorLlamadas receptor_;
  ReceptorLlamadas::CrearTelefono crearTelefono_;
  std::string directorio_;
  std::string archivoIni_;
  AjustesCaptura ajustes_;
  Bitacora::Sumidero sumidero_;
  // Last member: it closes the port before the journal the port writes into goes.
  std::unique_ptr<ResguardoCaptura> resguardo_;
};
