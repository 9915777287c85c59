#include "estacion/linea/ClienteTcp.h"

#include "resguardo/ArchivoDisco.h"

#include "estacion/linea/BusquedaNombre.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace {

// Idle seconds before the first probe, seconds between probes, probes lost.
constexpr int kSondeo[] = {60, 10, 3};

}  // namespace

void ClienteTcp::MantenerViva(int fd) {
  const int si = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &si, sizeof si);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kSondeo[0], sizeof kSondeo[0]);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kSondeo[1], sizeof kSondeo[1]);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kSondeo[2], sizeof kSondeo[2]);
}

captura::Resultado<Descriptor> ClienteTcp::Conectar(int parar) const {
  addrinfo pista{};
  pista.ai_family = AF_UNSPEC;
  pista.ai_socktype = SOCK_STREAM;
  auto direcciones = BusquedaNombre::Buscar(host_, std::to_string(puerto_), pista, parar);
  if (!direcciones) return direcciones.Falla();
  captura::Fallo ultimo{EHOSTUNREACH, Nombre() + ": sin direcciones"};
  for (const addrinfo* d = direcciones.Dato().get(); d != nullptr; d = d->ai_next) {
    auto conectado = ConectarA(*d, parar);
    if (conectado) return conectado;
    ultimo = conectado.Falla();
  }
  return ultimo;
}

captura::Resultado<Descriptor> ClienteTcp::ConectarA(const addrinfo& destino, int parar) const {
  auto fallo = [&](int numero) { return archivo_disco::FalloSistema(numero, Nombre()); };
  Descriptor fd(::socket(destino.ai_family, destino.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                         destino.ai_protocol));
  if (!fd.Valido()) return fallo(errno);
  if (::connect(fd.fd(), destino.ai_addr, destino.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) return fallo(errno);
    pollfd fds[2] = {{fd.fd(), POLLOUT, 0}, {parar, POLLIN, 0}};
    int listos = 0;
    do {
      listos = ::poll(fds, 2, static_cast<int>(std::chrono::milliseconds(kLimiteConexion).count()));
    } while (listos < 0 && errno == EINTR);
    if (listos == 0) return fallo(ETIMEDOUT);
    if (listos < 0) return fallo(errno);
    if (fds[1].revents != 0) return fallo(ECANCELED);
    int error = 0;
    socklen_t largo = sizeof error;
    if (::getsockopt(fd.fd(), SOL_SOCKET, SO_ERROR, &error, &largo) != 0) return fallo(errno);
    if (error != 0) return fallo(error);
  }
  MantenerViva(fd.fd());
  return fd;
}
