#include "estacion/linea/Comm.h"

#include "estacion/ajustes/mdlMain.h"

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <QMetaObject>
#include <cerrno>
#include <cstring>

#include "estacion/linea/AjustesLinea.h"
#include "llamadas/EnCurso.h"
#include "resguardo/ArchivoDisco.h"

namespace {

using archivo_disco::FalloSistema;

}  // namespace

Comm::Comm(QObject* padre) : QObject(padre), directorio_(DirectorioEjecutable()) {}

Comm::~Comm() { lector_.reset(); }

void Comm::DirectorioPrograma(std::filesystem::path directorio) {
  directorio_ = std::move(directorio);
}

std::filesystem::path Comm::DirectorioEjecutable() { return mdlMain::DirectorioPrograma(); }

std::filesystem::path Comm::RutaDispositivo(int16_t puerto,
                                            const std::filesystem::path& directorio) {
  const auto enlace = directorio / ("COM" + std::to_string(puerto));
  // A link that leads nowhere still names this port: opening it fails rather
  // than silently taking a device of the machine.
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(enlace, error))) return enlace;
  return "/dev/ttyS" + std::to_string(puerto - 1);
}

captura::Estado Comm::CommPort(int16_t puerto) {
  if (PortOpen()) return captura::Fallo{EBUSY, "El puerto está abierto"};
  if (puerto < 1) return captura::Fallo{EINVAL, "Número de puerto no válido"};
  puerto_ = puerto;
  return {};
}

captura::Estado Comm::Settings(const std::string& texto) {
  auto leidos = AjustesLinea::Leer(texto);
  if (!leidos) return leidos.Falla();
  ajustes_ = texto;
  return {};
}

captura::Estado Comm::PortOpen(bool abierto) {
  if (abierto == PortOpen()) return {};
  if (!abierto) {
    // Bytes still waiting go with the port, but keep their stream positions.
    lector_->Detener();
    fin_ = lector_->Fin();
    lector_.reset();
    servidor_.reset();
    perdida_ = false;
    return {};
  }
  return Abrir();
}

captura::Estado Comm::Diario(DiarioRecepcion* diario) {
  if (PortOpen()) return captura::Fallo{EBUSY, "El puerto está abierto"};
  diario_ = diario;
  return {};
}

uint64_t Comm::PosicionFin() const {
  if (lector_) return lector_->Fin();
  return diario_ ? diario_->Fin() : fin_;
}

captura::Resultado<Descriptor> Comm::AbrirDispositivo(const std::filesystem::path& ruta,
                                                      const std::string& texto) {
  auto ajustes = AjustesLinea::Leer(texto);
  if (!ajustes) return ajustes.Falla();
  Descriptor fd(::open(ruta.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valido()) return FalloSistema(errno, ruta.string());
  if (!::isatty(fd.fd())) return FalloSistema(ENOTTY, ruta.string());
  if (::flock(fd.fd(), LOCK_EX | LOCK_NB) != 0) return FalloSistema(EBUSY, ruta.string());

  termios t{};
  if (::tcgetattr(fd.fd(), &t) != 0) return FalloSistema(errno, ruta.string());
  ajustes.Dato().Aplicar(t);
  if (::tcsetattr(fd.fd(), TCSANOW, &t) != 0) return FalloSistema(errno, ruta.string());
  // tcsetattr succeeds when any one setting took; check them all.
  termios puestos{};
  if (::tcgetattr(fd.fd(), &puestos) != 0 || !ajustes.Dato().Conservados(puestos)) {
    return FalloSistema(EINVAL, ruta.string() + " no acepta " + texto);
  }
  return fd;
}

captura::Estado Comm::Abrir() {
  LectorPuerto::Opciones opciones;
  opciones.Limite = limite_;
  // An opening continues nothing received before it.
  opciones.Inicio = PosicionFin() + 1;
  opciones.Diario = diario_;
  opciones.AlCambiar = [this, apertura = ++aperturas_](std::optional<captura::Fallo> perdida) {
    QMetaObject::invokeMethod(
        this,
        [this, apertura, perdida = std::move(perdida)] {
          if (apertura == aperturas_ && PortOpen()) CambioDeLinea(perdida);
        },
        Qt::QueuedConnection);
  };
  if (red_ || servidor_) {
    // The reader connects (or waits for the exchange) at once, and again
    // after each loss.
    opciones.ReintentoInicial = kReintentoRed;
    opciones.ReintentoMaximo = kReintentoRedMaximo;
    if (red_) {
      opciones.Reabrir = [cliente = *red_](int parar) { return cliente.Conectar(parar); };
    } else {
      // Waiting for the exchange is a sleep of its own: after a loss the
      // next connection is taken at once, so a peer dropping in a loop
      // costs the real exchange no waits.
      opciones.ReintentoInicial = std::chrono::milliseconds::zero();
      servidor_->AlAvisar([this](ServidorTcp::Suceso suceso, const std::string& texto) {
        QMetaObject::invokeMethod(
            this,
            [this, suceso, texto] {
              if (suceso == ServidorTcp::Suceso::Aceptada) {
                emit OnConexion(texto);
              } else {
                emit OnAviso(texto);
              }
            },
            Qt::QueuedConnection);
      });
      opciones.Reabrir = [servidor = servidor_](int parar) { return servidor->Aceptar(parar); };
      opciones.Puerta = servidor_->Escucha();
      opciones.AlLlamar = [servidor = servidor_] { return servidor->Relevo(); };
    }
    return Leer(Descriptor(), std::move(opciones));
  }
  auto abierto = AbrirDispositivo(RutaDispositivo(puerto_, directorio_), ajustes_);
  if (!abierto) return abierto.Falla();
  // What sat in the device before the opening belongs to no burst we can
  // place; the station throws it away, so it must not trickle in later. A
  // device opened again after a loss keeps what it holds: sent since.
  ::tcflush(abierto.Dato().fd(), TCIFLUSH);
  opciones.Ruta = [puerto = puerto_, directorio = directorio_] {
    return RutaDispositivo(puerto, directorio);
  };
  opciones.Reabrir = [ruta = opciones.Ruta, ajustes = ajustes_](int) {
    return AbrirDispositivo(ruta(), ajustes);
  };
  opciones.Vigilado = directorio_;
  return Leer(std::move(abierto.Dato()), std::move(opciones));
}

captura::Estado Comm::Leer(Descriptor dispositivo, LectorPuerto::Opciones opciones) {
  try {
    lector_ = std::make_unique<LectorPuerto>(
        std::move(dispositivo), [this] { PedirAviso(); }, std::move(opciones));
  } catch (const std::system_error& e) {
    return captura::Fallo{e.code().value(), e.what()};
  }
  perdida_ = false;
  return {};
}

captura::Estado Comm::Red(std::optional<ClienteTcp> cliente) {
  if (PortOpen()) return captura::Fallo{EBUSY, "El puerto está abierto"};
  red_ = std::move(cliente);
  servidor_.reset();
  return {};
}

captura::Estado Comm::Escuchar(std::unique_ptr<ServidorTcp> servidor) {
  if (PortOpen()) return captura::Fallo{EBUSY, "El puerto está abierto"};
  red_.reset();
  servidor_ = std::move(servidor);
  return {};
}

void Comm::CambioDeLinea(std::optional<captura::Fallo> perdida) {
  perdida_ = perdida.has_value();
  if (perdida) {
    emit OnLineaPerdida(*perdida);
  } else {
    emit OnLineaRecuperada();
  }
}

std::string Comm::Input() {
  if (!lector_) return {};
  auto tomado = lector_->Tomar();
  posicionEntrada_ = tomado.Posicion;
  return std::move(tomado.Bytes);
}

// At most one notice waits in the owner's queue at any time.
void Comm::PedirAviso() {
  if (avisoPendiente_.exchange(true)) return;
  QMetaObject::invokeMethod(this, &Comm::EntregarAviso, Qt::QueuedConnection);
}

bool Comm::EntradaPendiente() const { return lector_ && lector_->Esperando() > 0; }

void Comm::RetenerAvisos(bool retener) {
  retenidos_ = retener;
  if (retener) return;
  // A notice set aside while held is asked for again.
  avisoPendiente_ = false;
  if (EntradaPendiente()) PedirAviso();
}

void Comm::EntregarAviso() {
  // Held, or inside a running handler: the notice stays pending, so the
  // reader asks for no more, and is given again once released or once that
  // handler has returned. Never nested, and no notice bounced meanwhile.
  if (entregando_ || retenidos_) return;
  avisoPendiente_ = false;
  if (!lector_ || lector_->Esperando() == 0) return;
  evento_ = kEventoRecibido;
  {
    const EnCurso enCurso(entregando_);
    emit OnComm();
  }
  // Cleared again: a notice set aside above must not block the next ones.
  avisoPendiente_ = false;
  if (lector_ && lector_->Esperando() > 0) PedirAviso();
}
