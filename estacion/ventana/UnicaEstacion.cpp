#include "estacion/ventana/UnicaEstacion.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace {

constexpr std::chrono::milliseconds kEsperaRespuesta{2000};

// The peer is this process's own user: an abstract socket's name can be
// reached, or taken first, by anyone on the machine.
bool DelMismoUsuario(const QLocalSocket& socket) {
  ucred credencial{};
  socklen_t largo = sizeof credencial;
  return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                      &credencial, &largo) == 0 &&
         credencial.uid == ::geteuid();
}

}  // namespace

UnicaEstacion::UnicaEstacion(QObject* padre) : QObject(padre) {}

UnicaEstacion::~UnicaEstacion() = default;

captura::Estado UnicaEstacion::Tomar(const std::string& directorio) {
  if (Tomada()) return {};
  const auto ruta = (std::filesystem::path(directorio) / kArchivo).string();
  Descriptor archivo(::open(ruta.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  // A lock file left read-only (by whoever set the directory up) locks all the same.
  if (!archivo.Valido() && (errno == EACCES || errno == EROFS)) {
    archivo = Descriptor(::open(ruta.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  }
  if (!archivo.Valido()) return captura::Fallo{errno, ruta + ": " + std::strerror(errno)};
  if (::flock(archivo.fd(), LOCK_EX | LOCK_NB) != 0) {
    const int numero = errno;
    if (numero != EWOULDBLOCK) return captura::Fallo{numero, ruta + ": " + std::strerror(numero)};
    return captura::Fallo{EBUSY, "Sentrel ya está en marcha en " + directorio};
  }
  bloqueo_ = std::move(archivo);
  // Without the socket a second start still stops; it cannot show this window.
  servidor_ = new QLocalServer(this);
  servidor_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
  connect(servidor_, &QLocalServer::newConnection, this, &UnicaEstacion::Atender);
  if (!servidor_->listen(NombreSocket(directorio))) {
    falloEscucha_ = servidor_->errorString().toStdString();
  }
  return {};
}

bool UnicaEstacion::PedirPresentar(const std::string& directorio) {
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(NombreSocket(directorio));
  // The listener's credentials: a name another user took first is no station.
  return socket.waitForConnected(static_cast<int>(kEsperaRespuesta.count())) &&
         DelMismoUsuario(socket);
}

// A name of the directory's own that needs no file: the socket goes with the process.
QString UnicaEstacion::NombreSocket(const std::string& directorio) {
  std::error_code ec;
  const auto canonico = std::filesystem::weakly_canonical(directorio, ec).string();
  const QByteArray huella = QCryptographicHash::hash(
      QByteArray::fromStdString(ec ? directorio : canonico), QCryptographicHash::Sha256);
  return QStringLiteral("Sentrel-") + QString::fromLatin1(huella.toHex().left(32));
}

// Every connection of this user is a request; nothing is read from it.
void UnicaEstacion::Atender() {
  bool pedido = false;
  while (QLocalSocket* socket = servidor_->nextPendingConnection()) {
    pedido = pedido || DelMismoUsuario(*socket);
    socket->disconnectFromServer();
    socket->deleteLater();
  }
  if (pedido) emit Presentar();
}
