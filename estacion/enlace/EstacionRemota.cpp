#include "estacion/enlace/EstacionRemota.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTimer>

#include "estacion/enlace/CanalEnlace.h"
#include "estacion/enlace/ServidorEnlace.h"

EstacionRemota::EstacionRemota(std::string directorio, QObject* padre)
    : VistaEstacion(padre),
      directorio_(std::move(directorio)),
      socket_(new QLocalSocket),
      canal_(new CanalEnlace(socket_, kMaximoEstado, this)),
      reintento_(new QTimer(this)) {
  reintento_->setSingleShot(true);
  reintento_->setInterval(kReintento);
  connect(reintento_, &QTimer::timeout, this, &EstacionRemota::Reconectar);
  connect(canal_, &CanalEnlace::Mensaje, this, &EstacionRemota::Recibir);
  connect(socket_, &QLocalSocket::disconnected, this, &EstacionRemota::Perdida);
  connect(socket_, &QLocalSocket::errorOccurred, this, [this] {
    if (socket_->state() == QLocalSocket::UnconnectedState) Perdida();
  });
}

EstacionRemota::~EstacionRemota() = default;

bool EstacionRemota::Conectar(std::chrono::milliseconds espera) {
  const QDeadlineTimer plazo(espera);
  socket_->connectToServer(QString::fromStdString(ServidorEnlace::Ruta(directorio_)));
  if (!socket_->waitForConnected(static_cast<int>(plazo.remainingTime()))) return false;
  // The service sends the station at once; nothing else runs meanwhile.
  while (!recibido_ && socket_->state() == QLocalSocket::ConnectedState &&
         socket_->waitForReadyRead(static_cast<int>(plazo.remainingTime()))) {
  }
  return recibido_;
}

bool EstacionRemota::Enlazada() const { return socket_->state() == QLocalSocket::ConnectedState; }

bool EstacionRemota::Devolver(uint64_t id) { return Pedir(MensajeEnlace::Orden::Devolver, id); }

bool EstacionRemota::Cargar(uint64_t id) { return Pedir(MensajeEnlace::Orden::Cargar, id); }

bool EstacionRemota::DescartarCargo(uint64_t id) {
  return Pedir(MensajeEnlace::Orden::DescartarCargo, id);
}

void EstacionRemota::AjustesGrabados() { Pedir(MensajeEnlace::Orden::AjustesGrabados); }

bool EstacionRemota::Pedir(MensajeEnlace::Orden orden, uint64_t id) {
  if (!Enlazada()) return false;
  canal_->Enviar(MensajeEnlace::DePedido({orden, id}));
  return true;
}

// Each value that changed is told as the local station tells it.
void EstacionRemota::Recibir(const QJsonObject& mensaje) {
  auto nuevo = MensajeEnlace::LeerEstado(mensaje);
  if (!nuevo) return canal_->Romper(QStringLiteral("estado ilegible"));
  const bool primero = !recibido_;
  recibido_ = true;
  std::swap(estado_, *nuevo);
  const auto& antes = *nuevo;
  if (primero || antes.Fuente.NumeroPuerto != estado_.Fuente.NumeroPuerto ||
      antes.Fuente.Origen != estado_.Fuente.Origen) {
    emit CambioOrigen();
  }
  if (primero || antes.TextoEstado != estado_.TextoEstado) emit CambioEstado(estado_.TextoEstado);
  if (primero || antes.TextoLlegada != estado_.TextoLlegada) {
    emit CambioLlegada(estado_.TextoLlegada);
  }
  emit CambioAvisos();
  if (estado_.EnAlarma && !antes.EnAlarma && !primero) emit AlarmaSilencio();
}

// The service is gone (stopped, restarted): said on the status line, tried again.
void EstacionRemota::Perdida() {
  if (reintento_->isActive()) return;
  reintento_->start();
  if (!recibido_) return;
  estado_.TextoEstado = "Servicio en " + directorio_ + kSufijoSinServicio;
  emit CambioEstado(estado_.TextoEstado);
}

void EstacionRemota::Reconectar() {
  socket_->abort();
  socket_->connectToServer(QString::fromStdString(ServidorEnlace::Ruta(directorio_)));
}
