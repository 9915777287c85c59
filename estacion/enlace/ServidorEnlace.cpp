#include "estacion/enlace/ServidorEnlace.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "estacion/enlace/CanalEnlace.h"
#include "estacion/enlace/MensajeEnlace.h"
#include "estacion/nucleo/VistaEstacion.h"
#include "resguardo/Bitacora.h"

namespace {

// The operators' group; none when the machine has no such group.
std::optional<gid_t> GrupoOperadores() {
  group grupo{};
  group* hallado = nullptr;
  std::vector<char> memoria(4096);
  while (::getgrnam_r(ServidorEnlace::kGrupoOperadores, &grupo, memoria.data(), memoria.size(),
                      &hallado) == ERANGE) {
    memoria.resize(memoria.size() * 2);
  }
  if (!hallado) return std::nullopt;
  return grupo.gr_gid;
}

// The groups of the peer's process when it connected.
std::vector<gid_t> GruposDelPar(int descriptor) {
  std::vector<gid_t> grupos(64);
  for (;;) {
    auto largo = static_cast<socklen_t>(grupos.size() * sizeof(gid_t));
    if (::getsockopt(descriptor, SOL_SOCKET, SO_PEERGROUPS, grupos.data(), &largo) == 0) {
      grupos.resize(largo / sizeof(gid_t));
      return grupos;
    }
    if (errno != ERANGE) return {};
    grupos.resize(largo / sizeof(gid_t) + 1);
  }
}

}  // namespace

ServidorEnlace::ServidorEnlace(VistaEstacion& estacion, Bitacora& registro, QObject* padre)
    : QObject(padre),
      estacion_(estacion),
      registro_(registro),
      servidor_(new QLocalServer(this)),
      envio_(new QTimer(this)) {
  envio_->setSingleShot(true);
  envio_->setInterval(kAgrupar);
  connect(envio_, &QTimer::timeout, this, &ServidorEnlace::Enviar);
  connect(servidor_, &QLocalServer::newConnection, this, &ServidorEnlace::Atender);
  const auto cambio = [this] {
    if (!envio_->isActive()) envio_->start();
  };
  connect(&estacion_, &VistaEstacion::CambioEstado, this, cambio);
  connect(&estacion_, &VistaEstacion::CambioLlegada, this, cambio);
  connect(&estacion_, &VistaEstacion::CambioAvisos, this, cambio);
  connect(&estacion_, &VistaEstacion::AlarmaSilencio, this, cambio);
  connect(&estacion_, &VistaEstacion::CambioOrigen, this, cambio);
}

ServidorEnlace::~ServidorEnlace() = default;

std::string ServidorEnlace::Ruta(const std::string& directorio) {
  return (std::filesystem::path(directorio) / kArchivo).string();
}

captura::Estado ServidorEnlace::Escuchar(const std::string& directorio) {
  const auto ruta = Ruta(directorio);
  QLocalServer::removeServer(QString::fromStdString(ruta));
  // Connecting takes write permission: the user and the directory's group.
  // The socket is made 0660 as it is created: a chmod by name afterwards
  // would follow whatever an operator put at that name meanwhile.
  const mode_t mascara = ::umask(0117);
  const bool escucha = servidor_->listen(QString::fromStdString(ruta));
  ::umask(mascara);
  if (!escucha) {
    return captura::Fallo{EIO, ruta + ": " + servidor_->errorString().toStdString()};
  }
  // The directory's group where this user may give it; its own otherwise.
  struct stat st {};
  if (::stat(directorio.c_str(), &st) == 0) {
    [[maybe_unused]] const int r =
        ::fchownat(AT_FDCWD, ruta.c_str(), static_cast<uid_t>(-1), st.st_gid, AT_SYMLINK_NOFOLLOW);
  }
  return {};
}

void ServidorEnlace::Atender() {
  while (QLocalSocket* socket = servidor_->nextPendingConnection()) {
    std::string quien;
    if (!Admitido(static_cast<int>(socket->socketDescriptor()), quien)) {
      registro_.EnlaceRechazado("Ventana rechazada en el enlace: " + quien + ", ni el usuario " +
                                "del servicio ni del grupo " + kGrupoOperadores);
      socket->abort();
      socket->deleteLater();
      continue;
    }
    auto* canal = new CanalEnlace(socket, kMaximoPedido, this);
    canales_.push_back(canal);
    connect(canal, &CanalEnlace::Mensaje, this,
            [this, canal](const QJsonObject& m) { Cumplir(canal, m); });
    connect(canal, &CanalEnlace::Roto, this, [this](const QString& motivo) {
      registro_.EnlaceRechazado("Ventana desconectada del enlace: " + motivo.toStdString());
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, canal] { Quitar(canal); });
    canal->Enviar(MensajeEnlace::DeEstado(estacion_));
  }
}

bool ServidorEnlace::Admitido(int descriptor, std::string& quien) const {
  ucred credencial{};
  socklen_t largo = sizeof credencial;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credencial, &largo) != 0) {
    quien = "sin credenciales";
    return false;
  }
  quien = "usuario " + std::to_string(credencial.uid) + " (proceso " +
          std::to_string(credencial.pid) + ")";
  if (credencial.uid == ::geteuid() || credencial.uid == 0) return true;
  const auto grupo = GrupoOperadores();
  if (!grupo) return false;
  const auto grupos = GruposDelPar(descriptor);
  return credencial.gid == *grupo ||
         std::find(grupos.begin(), grupos.end(), *grupo) != grupos.end();
}

// What the window asks is done as the window's own station would do it.
void ServidorEnlace::Cumplir(CanalEnlace* canal, const QJsonObject& mensaje) {
  const auto pedido = MensajeEnlace::LeerPedido(mensaje);
  if (!pedido) return canal->Romper(QStringLiteral("orden desconocida"));
  using Orden = MensajeEnlace::Orden;
  switch (pedido->Que) {
    case Orden::Devolver:
      estacion_.Devolver(pedido->Id);
      break;
    case Orden::Cargar:
      estacion_.Cargar(pedido->Id);
      break;
    case Orden::DescartarCargo:
      estacion_.DescartarCargo(pedido->Id);
      break;
    case Orden::AjustesGrabados:
      estacion_.AjustesGrabados();
      break;
  }
  if (!envio_->isActive()) envio_->start();
}

void ServidorEnlace::Quitar(CanalEnlace* canal) {
  std::erase(canales_, canal);
  canal->deleteLater();
}

// Every window is sent the station as it is now, unless nothing it shows changed.
void ServidorEnlace::Enviar() {
  // With no window attached nothing is built: a burst would otherwise lay
  // out the whole pending list ten times a second for nobody.
  if (canales_.empty()) {
    ultimo_.clear();
    return;
  }
  const QJsonObject estado = MensajeEnlace::DeEstado(estacion_);
  QByteArray texto = QJsonDocument(estado).toJson(QJsonDocument::Compact);
  if (texto == ultimo_) return;
  ultimo_ = std::move(texto);
  // A window cut here leaves the list.
  const auto canales = canales_;
  for (CanalEnlace* canal : canales) {
    // A window that does not read is not waited for without end.
    if (canal->Socket()->bytesToWrite() > kMaximoSinLeer) {
      canal->Romper(QStringLiteral("no lee lo que se le envía"));
    } else {
      canal->Enviar(estado);
    }
  }
}
