#include "simulador/CentralTcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void Fallar(const std::string& que) {
  throw std::system_error(errno, std::generic_category(), que);
}

// poll on one descriptor and the stop descriptor; false when stopped or timed out.
bool Esperar(int fd, short eventos, int parar, std::chrono::milliseconds limite) {
  pollfd fds[2] = {{fd, eventos, 0}, {parar, POLLIN, 0}};
  int listos = 0;
  do {
    listos = ::poll(fds, parar >= 0 ? 2 : 1, static_cast<int>(limite.count()));
  } while (listos < 0 && errno == EINTR);
  return listos > 0 && fds[1].revents == 0;
}

}  // namespace

CentralTcp::CentralTcp(uint16_t puerto, const std::string& direccion, int parar) : parar_(parar) {
  sockaddr_in dir{};
  dir.sin_family = AF_INET;
  dir.sin_port = htons(puerto);
  if (::inet_pton(AF_INET, direccion.c_str(), &dir.sin_addr) != 1) {
    errno = EINVAL;
    Fallar(direccion);
  }
  escucha_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (escucha_ < 0) Fallar("socket");
  const int si = 1;
  ::setsockopt(escucha_, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
  socklen_t largo = sizeof dir;
  if (::bind(escucha_, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0 ||
      ::listen(escucha_, 4) != 0 ||
      ::getsockname(escucha_, reinterpret_cast<sockaddr*>(&dir), &largo) != 0) {
    const int numero = errno;
    ::close(escucha_);
    errno = numero;
    Fallar(direccion + ":" + std::to_string(puerto));
  }
  puerto_ = ntohs(dir.sin_port);
}

CentralTcp::~CentralTcp() {
  Cortar();
  ::close(escucha_);
}

bool CentralTcp::EsperarConexion(std::chrono::milliseconds limite) {
  if (!Esperar(escucha_, POLLIN, parar_, limite)) return false;
  const int nueva = ::accept4(escucha_, nullptr, nullptr, SOCK_CLOEXEC);
  if (nueva < 0) return false;
  Cortar();
  conexion_ = nueva;
  return true;
}

bool CentralTcp::Conectar(const std::string& direccion, uint16_t puerto,
                          std::chrono::milliseconds limite) {
  sockaddr_in dir{};
  dir.sin_family = AF_INET;
  dir.sin_port = htons(puerto);
  if (::inet_pton(AF_INET, direccion.c_str(), &dir.sin_addr) != 1) return false;
  const auto hasta = std::chrono::steady_clock::now() + limite;
  for (;;) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&dir), sizeof dir) == 0) {
      Cortar();
      conexion_ = fd;
      return true;
    }
    ::close(fd);
    if (std::chrono::steady_clock::now() >= hasta) return false;
    // A pause that a stop ends at once: the listening socket never becomes readable here.
    pollfd parar{parar_, POLLIN, 0};
    if (::poll(&parar, parar_ >= 0 ? 1 : 0, 50) > 0) return false;
  }
}

bool CentralTcp::Cerrada(std::chrono::milliseconds limite) {
  if (conexion_ < 0) return true;
  if (!Esperar(conexion_, POLLIN, parar_, limite)) return false;
  char byte = 0;
  return ::recv(conexion_, &byte, 1, MSG_DONTWAIT) <= 0;
}

bool CentralTcp::Enviar(std::string_view bytes) {
  while (!bytes.empty()) {
    if (conexion_ < 0) return false;
    const ssize_t n = ::send(conexion_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
    } else if (n < 0 && errno != EINTR) {
      Cortar();
      return false;
    }
  }
  return true;
}

void CentralTcp::Cortar() {
  if (conexion_ >= 0) ::close(conexion_);
  conexion_ = -1;
}
