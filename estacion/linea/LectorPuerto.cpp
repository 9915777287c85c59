#include "estacion/linea/LectorPuerto.h"

#include "resguardo/DiarioRecepcion.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>

namespace {

constexpr size_t kTrozo = 64 * 1024;
// After end-of-file or an error (a hung-up line) the device is tried again
// at this interval instead of spinning on it.
constexpr std::chrono::milliseconds kReintento{1000};

}  // namespace

LectorPuerto::LectorPuerto(Descriptor dispositivo, std::function<void()> hayDatos,
                           Opciones opciones)
    : dispositivo_(std::move(dispositivo)),
      aviso_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      hayDatos_(std::move(hayDatos)),
      limite_(opciones.Limite),
      diario_(opciones.Diario),
      posicion_(opciones.Inicio) {
  if (!aviso_.Valido()) throw std::system_error(errno, std::generic_category(), "eventfd");
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
    estabaLleno = recibido_.size() >= limite_;
    tomado.Bytes.swap(recibido_);
    tomado.Posicion = posicion_;
    posicion_ += tomado.Bytes.size();
  }
  if (estabaLleno) Despertar();
  return tomado;
}

uint64_t LectorPuerto::Fin() const {
  std::lock_guard bloqueo(mutex_);
  return posicion_ + recibido_.size();
}

size_t LectorPuerto::Esperando() const {
  std::lock_guard bloqueo(mutex_);
  return recibido_.size();
}

bool LectorPuerto::BufferLleno() const {
  std::lock_guard bloqueo(mutex_);
  return recibido_.size() >= limite_;
}

void LectorPuerto::Despertar() {
  const uint64_t uno = 1;
  [[maybe_unused]] auto escrito = ::write(aviso_.fd(), &uno, sizeof uno);
}

void LectorPuerto::Leer() {
  bool colgado = false;
  while (!detener_) {
    pollfd fds[2] = {{aviso_.fd(), POLLIN, 0}, {dispositivo_.fd(), POLLIN, 0}};
    const bool leerDispositivo = !colgado && !BufferLleno();
    const int espera = colgado ? static_cast<int>(kReintento.count()) : -1;
    const int listos = ::poll(fds, leerDispositivo ? 2 : 1, espera);
    if (listos < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      uint64_t cuenta = 0;
      [[maybe_unused]] auto leido = ::read(aviso_.fd(), &cuenta, sizeof cuenta);
    }
    if (leerDispositivo && fds[1].revents != 0) {
      colgado = !Vaciar();
    } else if (listos == 0) {
      colgado = false;  // time to try the device again
    }
  }
}

bool LectorPuerto::Vaciar() {
  char trozo[kTrozo];
  const ssize_t n = ::read(dispositivo_.fd(), trozo, sizeof trozo);
  if (n > 0) {
    // On disk before it can be taken. A failed write keeps the bytes in the
    // journal's memory and counts the failure there; they are still delivered.
    if (diario_) static_cast<void>(diario_->Agregar({trozo, static_cast<size_t>(n)}));
    {
      std::lock_guard bloqueo(mutex_);
      recibido_.append(trozo, static_cast<size_t>(n));
    }
    hayDatos_();
    return true;
  }
  return n < 0 && (errno == EAGAIN || errno == EINTR);
}
