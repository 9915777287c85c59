#include "estacion/ventana/AvisoTerminacion.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace {

int extremoEscritura = -1;

void AlRecibirSenal(int) {
  const char c = 1;
  // Only async-signal-safe calls here; a full pipe already holds a notice.
  [[maybe_unused]] const auto r = ::write(extremoEscritura, &c, 1);
}

}  // namespace

AvisoTerminacion::AvisoTerminacion(QObject* padre) : QObject(padre) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, extremos_) != 0) return;
  extremoEscritura = extremos_[0];
  notificador_ = new QSocketNotifier(extremos_[1], QSocketNotifier::Read, this);
  connect(notificador_, &QSocketNotifier::activated, this, &AvisoTerminacion::Leer);

  struct sigaction accion = {};
  accion.sa_handler = AlRecibirSenal;
  sigemptyset(&accion.sa_mask);
  accion.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &accion, nullptr);
  ::sigaction(SIGINT, &accion, nullptr);
}

AvisoTerminacion::~AvisoTerminacion() {
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
  extremoEscritura = -1;
  for (int fd : extremos_) {
    if (fd >= 0) ::close(fd);
  }
}

void AvisoTerminacion::Leer() {
  char buf[16];
  while (::read(extremos_[1], buf, sizeof buf) > 0) {
  }
  emit Terminar();
}
