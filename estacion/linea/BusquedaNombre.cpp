#include "estacion/linea/BusquedaNombre.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

#include "captura/Descriptor.h"
#include "resguardo/ArchivoDisco.h"

namespace {

// Shared by the one who waits and the thread that looks up: the last one
// to let go frees the list.
struct Consulta {
  ~Consulta() {
    if (lista) ::freeaddrinfo(lista);
  }
  std::mutex mutex;
  addrinfo* lista = nullptr;
  int resultado = 0;
  Descriptor hecha{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
};

captura::Resultado<BusquedaNombre::Direcciones> Resultado(const std::shared_ptr<Consulta>& c,
                                                          const std::string& nombre) {
  const std::lock_guard bloqueo(c->mutex);
  if (c->resultado != 0) {
    return captura::Fallo{EHOSTUNREACH, nombre + ": " + ::gai_strerror(c->resultado)};
  }
  return BusquedaNombre::Direcciones(c, c->lista);
}

}  // namespace

captura::Resultado<BusquedaNombre::Direcciones> BusquedaNombre::Buscar(const std::string& host,
                                                                       const std::string& servicio,
                                                                       const addrinfo& pista,
                                                                       int parar) {
  const std::string nombre = host + ":" + servicio;
  auto consulta = std::make_shared<Consulta>();
  addrinfo numerica = pista;
  numerica.ai_flags |= AI_NUMERICHOST;
  consulta->resultado = ::getaddrinfo(host.c_str(), servicio.c_str(), &numerica, &consulta->lista);
  if (consulta->resultado != EAI_NONAME) return Resultado(consulta, nombre);
  if (!consulta->hecha.Valido()) return archivo_disco::FalloSistema(errno, nombre);
  try {
    std::thread([consulta, host, servicio, pista] {
      addrinfo* lista = nullptr;
      const int resultado = ::getaddrinfo(host.c_str(), servicio.c_str(), &pista, &lista);
      {
        const std::lock_guard bloqueo(consulta->mutex);
        consulta->lista = lista;
        consulta->resultado = resultado;
      }
      const uint64_t uno = 1;
      [[maybe_unused]] auto escrito = ::write(consulta->hecha.fd(), &uno, sizeof uno);
    }).detach();
  } catch (const std::system_error& e) {
    return captura::Fallo{e.code().value(), nombre + ": " + e.what()};
  }
  pollfd fds[2] = {{consulta->hecha.fd(), POLLIN, 0}, {parar, POLLIN, 0}};
  while (::poll(fds, 2, -1) < 0) {
    if (errno != EINTR) return archivo_disco::FalloSistema(errno, nombre);
  }
  if (fds[0].revents == 0) return archivo_disco::FalloSistema(ECANCELED, nombre);
  return Resultado(consulta, nombre);
}
