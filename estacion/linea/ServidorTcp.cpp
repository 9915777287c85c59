#include "estacion/linea/ServidorTcp.h"

#include "resguardo/ArchivoDisco.h"

#include "estacion/linea/ClienteTcp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "estacion/ajustes/mdlMain.h"

namespace {

// Connections the system holds until the reader takes them: a peer dropping
// in a loop must not crowd out the exchange while the reader is busy.
constexpr int kEnEspera = 64;

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

// An allowed address written as the peer's will be ("::ffff:1.2.3.4" and
// "1.2.3.4" are one); nothing when it is no IP address.
std::optional<std::string> Normalizar(const std::string& direccion) {
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
  return std::nullopt;
}

captura::Resultado<Descriptor> Enlazar(int familia, const sockaddr* direccion, socklen_t largo,
                                       const std::string& nombre) {
  Descriptor fd(::socket(familia, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valido()) return archivo_disco::FalloSistema(errno, nombre);
  const int si = 1;
  ::setsockopt(fd.fd(), SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
  if (familia == AF_INET6) {
    // Every address of both families on one socket, whatever the system's default.
    const int no = 0;
    ::setsockopt(fd.fd(), IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
  }
  if (::bind(fd.fd(), direccion, largo) != 0 || ::listen(fd.fd(), kEnEspera) != 0) {
    return archivo_disco::FalloSistema(errno, nombre);
  }
  return fd;
}

// Every address: IPv6 with IPv4 inside it, or IPv4 alone where the machine has no IPv6.
captura::Resultado<Descriptor> EnlazarTodas(uint16_t puerto, const std::string& nombre) {
  sockaddr_in6 v6{};
  v6.sin6_family = AF_INET6;
  v6.sin6_addr = in6addr_any;
  v6.sin6_port = htons(puerto);
  auto doble = Enlazar(AF_INET6, reinterpret_cast<const sockaddr*>(&v6), sizeof v6, nombre);
  // No IPv6 in the kernel, or none configured.
  const int numero = doble ? 0 : doble.Falla().Numero;
  if (doble || (numero != EAFNOSUPPORT && numero != EADDRNOTAVAIL)) return doble;
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_addr.s_addr = htonl(INADDR_ANY);
  v4.sin_port = htons(puerto);
  return Enlazar(AF_INET, reinterpret_cast<const sockaddr*>(&v4), sizeof v4, nombre);
}

}  // namespace

captura::Resultado<ServidorTcp::Permitidas> ServidorTcp::LeerPermitidas(const std::string& texto) {
  std::vector<std::string> direcciones;
  for (std::size_t desde = 0; desde <= texto.size();) {
    const std::size_t coma = std::min(texto.find(',', desde), texto.size());
    const std::string una = mdlMain::QuitarBlancos(texto.substr(desde, coma - desde));
    desde = coma + 1;
    if (una.empty()) continue;
    if (una == kCualquiera) return Permitidas();
    const auto normal = Normalizar(una);
    if (!normal) return captura::Fallo{EINVAL, "Permitida: \"" + una + "\" no es una dirección IP"};
    direcciones.push_back(*normal);
  }
  if (direcciones.empty()) {
    return captura::Fallo{EINVAL,
                          "Permitida está vacía: indique la dirección de la central (varias "
                          "separadas por comas, o * para cualquiera, solo en una red aislada)"};
  }
  return Permitidas(std::move(direcciones));
}

ServidorTcp::ServidorTcp(Descriptor escucha, std::string nombre, Permitidas permitidas)
    : escucha_(std::move(escucha)),
      nombre_(std::move(nombre)),
      permitidas_(std::move(permitidas)) {}

std::string ServidorTcp::NombreDe(const std::string& direccion, uint16_t puerto) {
  return (direccion.empty() ? kCualquiera : direccion) + ":" + std::to_string(puerto);
}

captura::Resultado<ServidorTcp> ServidorTcp::Escuchar(const std::string& direccion, uint16_t puerto,
                                                      Permitidas permitidas) {
  const std::string nombre = NombreDe(direccion, puerto);
  if (direccion.empty()) {
    auto todas = EnlazarTodas(puerto, nombre);
    if (!todas) return todas.Falla();
    return ServidorTcp(std::move(todas.Dato()), nombre, std::move(permitidas));
  }
  addrinfo pista{};
  pista.ai_family = AF_UNSPEC;
  pista.ai_socktype = SOCK_STREAM;
  pista.ai_flags = AI_PASSIVE;
  addrinfo* lista = nullptr;
  const int r = ::getaddrinfo(direccion.c_str(), std::to_string(puerto).c_str(), &pista, &lista);
  if (r != 0) return captura::Fallo{EADDRNOTAVAIL, nombre + ": " + ::gai_strerror(r)};
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> direcciones(lista, ::freeaddrinfo);
  auto fd = Enlazar(lista->ai_family, lista->ai_addr, lista->ai_addrlen, nombre);
  if (!fd) return fd.Falla();
  return ServidorTcp(std::move(fd.Dato()), nombre, std::move(permitidas));
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

bool ServidorTcp::Admitir(const Descriptor& conexion, const std::string& direccion) {
  if (permitidas_ &&
      std::find(permitidas_->begin(), permitidas_->end(), direccion) == permitidas_->end()) {
    std::string lista;
    for (const auto& una : *permitidas_) lista += (lista.empty() ? "" : ", ") + una;
    Avisar(Suceso::Rechazada, "conexión de " + direccion + " rechazada: solo se admite " + lista);
    return false;
  }
  ClienteTcp::MantenerViva(conexion.fd());
  Avisar(Suceso::Aceptada, "conexión de " + direccion + " aceptada");
  return true;
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
    if (Admitir(conexion.Dato(), direccion)) return conexion;
  }
}

std::optional<Descriptor> ServidorTcp::Relevo() {
  std::string direccion;
  for (auto conexion = Siguiente(direccion); conexion; conexion = Siguiente(direccion)) {
    if (Admitir(conexion.Dato(), direccion)) return std::move(conexion.Dato());
  }
  return std::nullopt;
}

void ServidorTcp::Avisar(Suceso suceso, const std::string& texto) {
  LimiteAvisos::Mensaje mensaje{0, nombre_ + ": " + texto};
  if (suceso == Suceso::Rechazada) {
    auto admitido = rechazos_.Admitir("rechazada", std::move(mensaje));
    if (!admitido) return;
    mensaje = std::move(*admitido);
  }
  if (aviso_) aviso_(suceso, mensaje.Texto);
}
