#include "estacion/linea/ServidorTcp.h"

#include "resguardo/ArchivoDisco.h"

#include "estacion/linea/ClienteTcp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// An address as text, an IPv4 one inside IPv6 as plain IPv4.
std::string TextoDireccion(const sockaddr_storage& direccion, socklen_t largo) {
  char texto[NI_MAXHOST] = {};
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&direccion), largo, texto, sizeof texto,
                    nullptr, 0, NI_NUMERICHOST) != 0) {
    return "?";
  }
  std::string resultado = texto;
  if (resultado.starts_with("::ffff:") && resultado.find('.') != std::string::npos) {
    resultado.erase(0, 7);
  }
  return resultado;
}

// The allowed address written as the peer's will be: "::ffff:1.2.3.4" and
// "1.2.3.4" are one.
std::string Normalizar(const std::string& direccion) {
  in6_addr v6{};
  in_addr v4{};
  char texto[INET6_ADDRSTRLEN] = {};
  if (::inet_pton(AF_INET, direccion.c_str(), &v4) == 1) {
    return ::inet_ntop(AF_INET, &v4, texto, sizeof texto);
  }
  if (::inet_pton(AF_INET6, direccion.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_V4MAPPED(&v6))
      return ::inet_ntop(AF_INET, &v6.s6_addr[12], texto, sizeof texto);
    return ::inet_ntop(AF_INET6, &v6, texto, sizeof texto);
  }
  return direccion;
}

}  // namespace

ServidorTcp::ServidorTcp(Descriptor escucha, std::string nombre, std::string permitida)
    : escucha_(std::move(escucha)), nombre_(std::move(nombre)), permitida_(std::move(permitida)) {}

captura::Resultado<ServidorTcp> ServidorTcp::Escuchar(const std::string& direccion, uint16_t puerto,
                                                      const std::string& permitida) {
  const std::string nombre = (direccion.empty() ? "*" : direccion) + ":" + std::to_string(puerto);
  addrinfo pista{};
  pista.ai_family = AF_UNSPEC;
  pista.ai_socktype = SOCK_STREAM;
  pista.ai_flags = AI_PASSIVE;
  addrinfo* lista = nullptr;
  const int r = ::getaddrinfo(direccion.empty() ? nullptr : direccion.c_str(),
                              std::to_string(puerto).c_str(), &pista, &lista);
  if (r != 0) return captura::Fallo{EADDRNOTAVAIL, nombre + ": " + ::gai_strerror(r)};
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> direcciones(lista, ::freeaddrinfo);
  Descriptor fd(
      ::socket(lista->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, lista->ai_protocol));
  if (!fd.Valido()) return archivo_disco::FalloSistema(errno, nombre);
  const int si = 1;
  ::setsockopt(fd.fd(), SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
  if (::bind(fd.fd(), lista->ai_addr, lista->ai_addrlen) != 0 || ::listen(fd.fd(), 8) != 0) {
    return archivo_disco::FalloSistema(errno, nombre);
  }
  return ServidorTcp(std::move(fd), nombre, permitida.empty() ? "" : Normalizar(permitida));
}

captura::Resultado<Descriptor> ServidorTcp::Siguiente(std::string& direccion) {
  sockaddr_storage par{};
  socklen_t largo = sizeof par;
  Descriptor fd(::accept4(escucha_.fd(), reinterpret_cast<sockaddr*>(&par), &largo,
                          SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (!fd.Valido()) return archivo_disco::FalloSistema(errno, nombre_);
  direccion = TextoDireccion(par, largo);
  return fd;
}

captura::Resultado<Descriptor> ServidorTcp::Aceptar(int parar) {
  for (;;) {
    pollfd fds[2] = {{escucha_.fd(), POLLIN, 0}, {parar, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return archivo_disco::FalloSistema(errno, nombre_);
    }
    if (fds[1].revents != 0) return archivo_disco::FalloSistema(ECANCELED, nombre_);
    std::string direccion;
    auto conexion = Siguiente(direccion);
    if (!conexion) {
      const int numero = conexion.Falla().Numero;
      if (numero == EAGAIN || numero == EINTR || numero == ECONNABORTED) continue;
      return conexion;
    }
    if (permitida_.empty() || direccion == permitida_) {
      ClienteTcp::MantenerViva(conexion.Dato().fd());
      return conexion;
    }
    Avisar("conexión de " + direccion + " rechazada: solo se admite " + permitida_);
  }
}

void ServidorTcp::Rechazar() {
  std::string direccion;
  for (auto conexion = Siguiente(direccion); conexion; conexion = Siguiente(direccion)) {
    Avisar("conexión de " + direccion + " rechazada: ya hay una central conectada");
  }
}

void ServidorTcp::Avisar(const std::string& texto) {
  const auto ahora = std::chrono::steady_clock::now();
  if (ultimoAviso_ != std::chrono::steady_clock::time_point{} &&
      ahora - ultimoAviso_ < kIntervaloAvisos) {
    ++callados_;
    return;
  }
  std::string mensaje = nombre_ + ": " + texto;
  if (callados_ > 0) mensaje += " (y " + std::to_string(callados_) + " rechazadas antes sin aviso)";
  ultimoAviso_ = ahora;
  callados_ = 0;
  if (aviso_) aviso_(mensaje);
}
