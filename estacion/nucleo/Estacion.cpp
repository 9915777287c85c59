#include "estacion/nucleo/Estacion.h"

#include <QTime>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include "estacion/linea/Comm.h"
#include "estacion/nucleo/PendientesDelGestor.h"

using namespace std::chrono_literals;
using mdlMain::Intentar;

namespace {

constexpr auto kIntervaloTimerCheck = 1000ms;
constexpr auto kIntervaloSilencio = 30s;

// A timer of the station's own, started by hand.
QTimer* Temporizador(QObject* dueno, bool unaVez) {
  auto* timer = new QTimer(dueno);
  timer->setSingleShot(unaVez);
  return timer;
}

// The wait from now to an instant of the steady clock, never negative.
std::chrono::milliseconds HastaInstante(std::chrono::steady_clock::time_point instante) {
  return std::max(
      std::chrono::ceil<std::chrono::milliseconds>(instante - std::chrono::steady_clock::now()),
      0ms);
}

}  // namespace

Estacion::Estacion(ReceptorLlamadas::CrearTelefono crearTelefono, QObject* padre)
    : VistaEstacion(padre),
      comm_(new Comm(this)),
      timerCheck_(Temporizador(this, false)),
      esperaInicio_(Temporizador(this, true)),
      timerReintento_(Temporizador(this, true)),
      timerSilencio_(Temporizador(this, false)),
      timerRepaso_(Temporizador(this, true)),
      control_(*this, *comm_),
      receptor_(*this, *comm_, crearTelefono),
      crearTelefono_(std::move(crearTelefono)),
      directorio_(mdlMain::DirectorioPrograma()) {
  timerCheck_->setObjectName(QStringLiteral("TimerCheck"));
  timerCheck_->setInterval(kIntervaloTimerCheck);
  timerSilencio_->setInterval(kIntervaloSilencio);
  connect(comm_, &Comm::OnComm, this, [this] {
    DatoRecibido();
    receptor_.Comm1_OnComm();
  });
  connect(timerCheck_, &QTimer::timeout, this, [this] { receptor_.TimerCheck_Timer(); });
  connect(esperaInicio_, &QTimer::timeout, this, [this] { receptor_.FinEspera(); });
  connect(timerSilencio_, &QTimer::timeout, this, &Estacion::RevisarSilencio);
  connect(timerReintento_, &QTimer::timeout, this, &Estacion::Reintentar);
  connect(timerRepaso_, &QTimer::timeout, this, &Estacion::Repasar);
  connect(comm_, &Comm::OnLineaPerdida, this,
          [this](const captura::Fallo& motivo) { control_.LineaPerdida(motivo); });
  connect(comm_, &Comm::OnLineaRecuperada, this, [this] { control_.LineaRecuperada(); });
  connect(comm_, &Comm::OnAviso, this,
          [this](const std::string& texto) { control_.ConexionRechazada(texto); });
  connect(comm_, &Comm::OnConexion, this,
          [this](const std::string& texto) { control_.ConexionAceptada(texto); });
  control_.Registro().AlRetener([this] { ProgramarRepaso(); });
}

Estacion::~Estacion() = default;

void Estacion::DirectorioPrograma(const std::string& directorio) {
  directorio_ = directorio;
  comm_->DirectorioPrograma(directorio);
}

void Estacion::SumideroBitacora(Bitacora::Sumidero sumidero) {
  sumidero_ = sumidero;
  control_.SumideroBitacora(std::move(sumidero));
  control_.Registro().AlRetener([this] { ProgramarRepaso(); });
}

mdlMain::UbicacionIni Estacion::UbicarAjustes() {
  mdlMain::UbicacionIni ini;
  Intentar([&] {
    ini = mdlMain::UbicarArchivoIni(directorio_);
    archivoIni_ = ini.ruta;
  });
  return ini;
}

void Estacion::Iniciar() {
  resguardo_ =
      std::make_unique<ResguardoCaptura>(directorio_, *comm_, receptor_, crearTelefono_, sumidero_);
  // Dates of the lines a crash left over are read in the order set.
  AplicarAjustes();
  receptor_.AvisarFechaIlegible([this](std::string_view linea) {
    const auto orden = receptor_.OrdenFecha().value_or(captura::Regional::OrdenFecha());
    resguardo_->Registro().FechaIlegible(linea, mdlMain::TextoOrdenFecha(orden));
  });
  resguardo_->AlCambiar([this] {
    Avisar();
    ProgramarReintento();
  });
  resguardo_->Registro().AlRetener([this] { ProgramarRepaso(); });
  control_.AlDescartarEntrada([r = resguardo_.get()](uint64_t fin) { r->Descartados(fin); });
  resguardo_->Iniciar();
  Avisar();
  ProgramarReintento();
}

bool Estacion::AbrirPuerto() {
  if (!control_.AbrirPuerto(ajustes_)) return NoAbre();
  PuertoAbierto();
  estado_.Recibiendo = 0;
  estado_.ContadorEspera = 0;
  return true;
}

// The window's box first: the status line changes once it is closed.
bool Estacion::NoAbre() {
  emit PuertoNoAbre();
  control_.MostrarSufijo(ControlPuerto::kSufijoNoAbierto);
  return false;
}

void Estacion::PuertoAbierto() {
  emit CambioOrigen();
  vigia_.Reiniciar();  // the silence counts from the opening
}

void Estacion::NuevosAjustes() {
  if (!resguardo_) return;  // read by Iniciar
  Intentar([&] { AplicarAjustes(); });
  control_.AplicarTiempoConexion(ajustes_);
}

void Estacion::AjustesGrabados() {
  NuevosAjustes();
  ReabrirPuerto();
}

bool Estacion::ReabrirPuerto() {
  if (comm_->PortOpen()) return true;
  if (!control_.AbrirPuerto(ajustes_)) return NoAbre();
  PuertoAbierto();
  return true;
}

void Estacion::LeerAjustes() {
  Intentar([&] { ajustes_ = AjustesCaptura::Leer(archivoIni_); });
}

// The exchange's own settings and the charge's time limit, read at start
// (before the queue is re-posted) and after the dialog.
void Estacion::AplicarAjustes() {
  LeerAjustes();
  receptor_.OrdenFecha(ajustes_.OrdenFechaCentral());
  const auto avisarInvalido = [&](std::string AjustesCaptura::*valor, const std::string& usado) {
    resguardo_->Registro().AjusteInvalido(AjustesCaptura::ClaveDe(valor).Nombre, ajustes_.*valor,
                                          usado);
  };
  if (ajustes_.OrdenFechaInvalida()) {
    avisarInvalido(
        &AjustesCaptura::OrdenFecha,
        "el orden regional " + mdlMain::TextoOrdenFecha(captura::Regional::OrdenFecha()));
  }
  const auto sinDatos = ajustes_.SinDatos();
  if (sinDatos.Invalido) avisarInvalido(&AjustesCaptura::MinutosSinDatos, "0 (sin aviso)");
  vigia_.Limite(sinDatos.Valor);
  const auto cargo = ajustes_.CargoAutomatico();
  if (cargo.Invalido) {
    avisarInvalido(&AjustesCaptura::MinutosCargo, std::to_string(cargo.Valor.count()));
  }
  resguardo_->Gestor().LimiteCargoAutomatico(cargo.Valor);
  if (vigia_.Activa()) {
    timerSilencio_->start();
  } else {
    timerSilencio_->stop();
  }
  Avisar();
}

void Estacion::AnunciarInicio(const std::string& version) {
  std::string texto = "Sentrel " + version + ", ";
  if (estado_.Origen.empty()) {
    const auto ruta = Comm::RutaDispositivo(estado_.NumeroPuerto, directorio_);
    std::error_code error;
    const auto dispositivo = std::filesystem::canonical(ruta, error);
    texto += "puerto COM" + std::to_string(estado_.NumeroPuerto) + " (" + ruta.string();
    if (!error && dispositivo != ruta) texto += " -> " + dispositivo.string();
    texto += ") " + comm_->Settings();
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

void Estacion::CerrarPuerto() { control_.CerrarPuerto(); }

void Estacion::Finalizar() {
  if (comm_->PortOpen()) control_.CerrarPuerto();
  if (resguardo_) resguardo_->Registro().Fin();
}

void Estacion::MostrarEstado(const std::string& texto) {
  textoEstado_ = texto;
  emit CambioEstado(texto);
}

void Estacion::HabilitarTimerCheck(bool habilitado) {
  if (habilitado) {
    if (!timerCheck_->isActive()) timerCheck_->start();
  } else {
    timerCheck_->stop();
  }
}

void Estacion::MostrarLlegada(const std::string& texto) {
  textoLlegada_ = texto;
  emit CambioLlegada(texto);
}

void Estacion::EsperarInicio(std::chrono::milliseconds espera) { esperaInicio_->start(espera); }

void Estacion::DatoRecibido() {
  const auto silencio = vigia_.Silencio();
  if (!vigia_.Dato()) return;
  if (resguardo_) resguardo_->Registro().DatosDeNuevo(silencio.count());
  Avisar();
}

void Estacion::RevisarSilencio() {
  if (!comm_->PortOpen() || !vigia_.Revisar()) return;
  if (resguardo_) resguardo_->Registro().SinDatos(vigia_.Silencio().count());
  Avisar();
  emit AlarmaSilencio();
}

void Estacion::Reintentar() {
  resguardo_->Reintentar();
  Avisar();
  ProgramarReintento();
}

void Estacion::ProgramarReintento() {
  const auto proximo = resguardo_ ? resguardo_->ProximoIntento() : std::nullopt;
  if (!proximo) {
    timerReintento_->stop();
    return;
  }
  timerReintento_->start(HastaInstante(*proximo));
}

void Estacion::ProgramarRepaso() {
  std::optional<LimiteAvisos::Instante> proximo = control_.Registro().ProximoRepaso();
  if (resguardo_) {
    const auto otro = resguardo_->Registro().ProximoRepaso();
    if (otro && (!proximo || *otro < *proximo)) proximo = otro;
  }
  if (!proximo) return;
  const auto espera = HastaInstante(*proximo);
  if (!timerRepaso_->isActive() || espera < timerRepaso_->remainingTimeAsDuration()) {
    timerRepaso_->start(espera);
  }
}

void Estacion::Repasar() {
  control_.Registro().Repasar();
  if (resguardo_) resguardo_->Registro().Repasar();
  ProgramarRepaso();
}

void Estacion::Avisar() {
  if (resguardo_) emit CambioAvisos();
}

bool Estacion::HayPendientes() const {
  return resguardo_ && resguardo_->Pendientes() + resguardo_->Aparcadas() > 0;
}

std::vector<FilaPendiente> Estacion::FilasPendientes() const {
  if (!resguardo_) return {};
  return PendientesDelGestor(resguardo_->Gestor()).FilasPendientes();
}

bool Estacion::Devolver(uint64_t id) {
  return resguardo_ && PendientesDelGestor(resguardo_->Gestor()).Devolver(id);
}

bool Estacion::Cargar(uint64_t id) {
  return resguardo_ && PendientesDelGestor(resguardo_->Gestor()).Cargar(id);
}

bool Estacion::DescartarCargo(uint64_t id) {
  return resguardo_ && PendientesDelGestor(resguardo_->Gestor()).DescartarCargo(id);
}

std::string Estacion::Resumen() const { return resguardo_ ? resguardo_->Resumen() : std::string(); }

std::string Estacion::TextoAvisos() const {
  std::string texto = Resumen();
  if (vigia_.EnAlarma()) {
    const auto desde = QTime::currentTime().addSecs(-60 * vigia_.Silencio().count());
    texto = "Sin datos de la central desde las " +
            desde.toString(QStringLiteral("hh:mm")).toStdString() + ".   " + texto;
  }
  return texto;
}
