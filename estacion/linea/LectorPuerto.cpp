#include "estacion/linea/LectorPuerto.h"

#include "resguardo/DiarioRecepcion.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <utility>

namespace {

constexpr size_t kTrozo = 64 * 1024;
constexpr short kColgado = POLLHUP | POLLERR | POLLNVAL;
// After a failed try, even with no wait asked for after a loss.
constexpr std::chrono::milliseconds kEsperaMinima{500};

// Reads a non-blocking descriptor until it is empty.
void Drenar(const Descriptor& fd) {
  char basura[4096];
  while (fd.Valido() && ::read(fd.fd(), basura, sizeof basura) > 0) {
  }
}

captura::Fallo FalloDe(int numero) { return captura::Fallo{numero, std::strerror(numero)}; }

}  // namespace

LectorPuerto::LectorPuerto(Descriptor dispositivo, std::function<void()> hayDatos,
                           Opciones opciones)
    : dispositivo_(std::move(dispositivo)),
      aviso_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      hayDatos_(std::move(hayDatos)),
      opciones_(std::move(opciones)),
      espera_(opciones_.ReintentoInicial),
      siguiente_(opciones_.Inicio) {
  if (!aviso_.Valido()) throw std::system_error(errno, std::generic_category(), "eventfd");
  if (!opciones_.Vigilado.empty()) {
    // Without a watch a renamed link goes unseen; a hang-up is still seen.
    vigia_ = Descriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (vigia_.Valido() && ::inotify_add_watch(vigia_.fd(), opciones_.Vigilado.c_str(),
                                               IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                                   IN_DELETE_SELF | IN_ONLYDIR) < 0) {
      vigia_.Cerrar();
    }
  }
  hilo_ = std::thread([this] { Leer(); });
}

LectorPuerto::~LectorPuerto() { Detener(); }

void LectorPuerto::Detener() {
  detener_ = true;
  Despertar();
  if (hilo_.joinable()) hilo_.join();
}

LectorPuerto::Tomado LectorPuerto::Tomar() {
  Tomado tomado;
  bool estabaLleno = false;
  {
    std::lock_guard bloqueo(mutex_);
    if (recibido_.empty()) {
      tomado.Posicion = siguiente_;
      return tomado;
    }
    estabaLleno = esperando_ >= opciones_.Limite;
    tomado = std::move(recibido_.front());
    recibido_.pop_front();
    esperando_ -= tomado.Bytes.size();
  }
  if (estabaLleno) Despertar();
  return tomado;
}

uint64_t LectorPuerto::Fin() const {
  std::lock_guard bloqueo(mutex_);
  return siguiente_;
}

size_t LectorPuerto::Esperando() const {
  std::lock_guard bloqueo(mutex_);
  return esperando_;
}

bool LectorPuerto::BufferLleno() const {
  std::lock_guard bloqueo(mutex_);
  return esperando_ >= opciones_.Limite;
}

void LectorPuerto::Despertar() {
  const uint64_t uno = 1;
  [[maybe_unused]] auto escrito = ::write(aviso_.fd(), &uno, sizeof uno);
}

void LectorPuerto::Leer() {
  while (!detener_) {
    if (!dispositivo_.Valido()) {
      Reabrir();
      continue;
    }
    // A negative descriptor (no watch, no door) is skipped by poll. With the
    // buffer full neither the device nor the door is heard: a new exchange
    // connection waits until what the current one holds can be read.
    pollfd fds[4] = {{aviso_.fd(), POLLIN, 0},
                     {vigia_.fd(), POLLIN, 0},
                     {dispositivo_.fd(), POLLIN, 0},
                     {opciones_.Puerta, POLLIN, 0}};
    const bool leerDispositivo = !BufferLleno();
    if (::poll(fds, leerDispositivo ? 4 : 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) Drenar(aviso_);
    std::optional<captura::Fallo> perdida;
    if (fds[1].revents != 0) perdida = CambioDeNombre();
    if (!perdida && leerDispositivo && fds[2].revents != 0) perdida = Vaciar(fds[2].revents);
    if (!perdida && leerDispositivo && fds[3].revents != 0) perdida = Llamada();
    if (perdida) Perder(std::move(*perdida));
  }
}

std::optional<captura::Fallo> LectorPuerto::Vaciar(short eventos) {
  char trozo[kTrozo];
  const ssize_t n = ::read(dispositivo_.fd(), trozo, sizeof trozo);
  if (n > 0) {
    Recibir({trozo, static_cast<size_t>(n)});
    return std::nullopt;
  }
  // A hung-up terminal gives end-of-file or EIO for ever: retrying the same
  // descriptor would never bring the line back.
  if (n == 0) return captura::Fallo{EIO, "fin de datos: la línea se cortó"};
  if (errno != EAGAIN && errno != EINTR) return FalloDe(errno);
  if (eventos & kColgado) return FalloDe(EIO);
  return std::nullopt;
}

// Only this thread moves siguiente_; the lock is for its readers.
void LectorPuerto::Recibir(std::string_view bytes) {
  const uint64_t posicion = siguiente_ + (salto_ ? 1 : 0);
  // On disk before it can be taken. A failed write keeps the bytes in the
  // journal's memory and counts the failure there; they are still delivered.
  if (opciones_.Diario) static_cast<void>(opciones_.Diario->Agregar(posicion, bytes));
  {
    std::lock_guard bloqueo(mutex_);
    if (recibido_.empty() || salto_) {
      recibido_.push_back({std::string(bytes), posicion});
    } else {
      recibido_.back().Bytes.append(bytes);
    }
    esperando_ += bytes.size();
    siguiente_ = posicion + bytes.size();
    salto_ = false;
  }
  hayDatos_();
}

// The name may now lead to another device (a link changed, the adapter
// plugged in again under another name).
std::optional<captura::Fallo> LectorPuerto::CambioDeNombre() {
  Drenar(vigia_);
  if (!opciones_.Ruta) return std::nullopt;
  const auto ruta = opciones_.Ruta();
  struct stat abierto {};
  struct stat nombrado {};
  if (::fstat(dispositivo_.fd(), &abierto) != 0) return FalloDe(errno);
  if (::stat(ruta.c_str(), &nombrado) == 0 && S_ISCHR(nombrado.st_mode) &&
      nombrado.st_rdev == abierto.st_rdev) {
    return std::nullopt;
  }
  return captura::Fallo{ENODEV, ruta.string() + " ya no lleva al dispositivo abierto"};
}

// Someone knocks while the device is open: an exchange that connects again
// may have left its old connection half-open. What the old connection still
// holds is read first; its end, or a new connection let in, takes its place.
std::optional<captura::Fallo> LectorPuerto::Llamada() {
  for (;;) {
    if (BufferLleno()) return std::nullopt;  // heard again once there is room
    pollfd fd{dispositivo_.fd(), POLLIN, 0};
    if (::poll(&fd, 1, 0) <= 0) break;
    if (auto perdida = Vaciar(fd.revents)) return perdida;
  }
  if (!opciones_.AlLlamar) return std::nullopt;
  auto nueva = opciones_.AlLlamar();
  if (!nueva) return std::nullopt;
  dispositivo_ = std::move(*nueva);
  // The new connection continues nothing the old one sent.
  std::lock_guard bloqueo(mutex_);
  salto_ = true;
  return std::nullopt;
}

void LectorPuerto::Perder(captura::Fallo motivo) {
  dispositivo_.Cerrar();
  {
    std::lock_guard bloqueo(mutex_);
    salto_ = true;
  }
  esperar_ = true;
  espera_ = opciones_.ReintentoInicial;
  caida_ = true;
  if (opciones_.AlCambiar) opciones_.AlCambiar(std::move(motivo));
}

// One try per wait: asleep in between, awake only to stop.
void LectorPuerto::Reabrir() {
  if (esperar_) {
    pollfd fd{aviso_.fd(), POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(espera_.count())) != 0) {
      Drenar(aviso_);
      return;
    }
  }
  esperar_ = true;
  if (!opciones_.Reabrir) return;
  auto abierto = opciones_.Reabrir(aviso_.fd());
  if (detener_) return;
  if (!abierto && abierto.Falla().Numero == ECANCELED) {
    // Woken (room made in the buffer), not failed: try again at once.
    Drenar(aviso_);
    esperar_ = false;
    return;
  }
  if (!abierto) {
    espera_ = std::min(std::max(espera_ * 2, kEsperaMinima), opciones_.ReintentoMaximo);
    if (caida_) return;
    caida_ = true;
    if (opciones_.AlCambiar) opciones_.AlCambiar(abierto.Falla());
    return;
  }
  dispositivo_ = std::move(abierto.Dato());
  espera_ = opciones_.ReintentoInicial;
  Drenar(vigia_);
  if (!std::exchange(caida_, false)) return;
  if (opciones_.AlCambiar) opciones_.AlCambiar(std::nullopt);
}
