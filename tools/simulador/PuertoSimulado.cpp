#include "simulador/PuertoSimulado.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

constexpr std::chrono::milliseconds kSondeo{50};

// A negative limit waits for ever.
bool Vencido(std::chrono::steady_clock::time_point inicio, std::chrono::milliseconds limite) {
  return limite.count() >= 0 && std::chrono::steady_clock::now() - inicio >= limite;
}

// Sleeps one polling interval; false when parar became readable.
bool Pausa(int parar) {
  pollfd fd{parar, POLLIN, 0};
  return ::poll(&fd, parar >= 0 ? 1 : 0, static_cast<int>(kSondeo.count())) <= 0;
}

[[noreturn]] void Fallar(const std::string& que) {
  throw std::system_error(errno, std::generic_category(), que);
}

}  // namespace

PuertoSimulado::PuertoSimulado(const std::filesystem::path& directorio, int puerto, int parar)
    : parar_(parar) {
  termios crudo{};
  cfmakeraw(&crudo);
  cfsetspeed(&crudo, B9600);
  int esclavo = -1;
  char nombre[128] = {};
  if (::openpty(&maestro_, &esclavo, nombre, &crudo, nullptr) != 0) Fallar("openpty");
  // Raw from the start, so lines written before the program opens its end
  // are neither echoed nor translated. The far end stays closed until the
  // program opens it; that is how the opening is seen.
  ::close(esclavo);
  esclavo_ = nombre;
  ::fcntl(maestro_, F_SETFD, FD_CLOEXEC);
  ::fcntl(maestro_, F_SETFL, ::fcntl(maestro_, F_GETFL) | O_NONBLOCK);

  enlace_ = directorio / ("COM" + std::to_string(puerto));
  std::error_code error;
  // A link left by a simulator that died is replaced; anything else stays.
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(enlace_, error))) {
    std::filesystem::remove(enlace_, error);
  }
  if (::symlink(esclavo_.c_str(), enlace_.c_str()) != 0) {
    const int numero = errno;
    ::close(maestro_);
    errno = numero;
    Fallar(enlace_.string());
  }
}

PuertoSimulado::~PuertoSimulado() {
  std::error_code error;
  if (std::filesystem::read_symlink(enlace_, error) == esclavo_) {
    std::filesystem::remove(enlace_, error);
  }
  if (testigo_ >= 0) ::close(testigo_);
  ::close(maestro_);
}

bool PuertoSimulado::Esperar(short eventos, std::chrono::milliseconds limite, short& obtenidos) {
  pollfd fds[2] = {{maestro_, eventos, 0}, {parar_, POLLIN, 0}};
  const int cuantos = parar_ >= 0 ? 2 : 1;
  int listos = 0;
  do {
    listos = ::poll(fds, cuantos, static_cast<int>(limite.count()));
  } while (listos < 0 && errno == EINTR);
  obtenidos = fds[0].revents;
  return listos > 0 && !(cuantos == 2 && fds[1].revents != 0);
}

bool PuertoSimulado::Enviar(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(maestro_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    short obtenidos = 0;
    if (!Esperar(POLLOUT, std::chrono::milliseconds(-1), obtenidos)) return false;
    // Nobody has the far end open: the hang-up would wake poll at once.
    if ((obtenidos & POLLHUP) && !Pausa(parar_)) return false;
  }
  return true;
}

bool PuertoSimulado::EsperarApertura(std::chrono::milliseconds limite) {
  const auto inicio = std::chrono::steady_clock::now();
  // The terminal reports a hang-up while nobody has its far end open.
  for (;;) {
    short obtenidos = 0;
    Esperar(0, std::chrono::milliseconds(0), obtenidos);
    if (!(obtenidos & POLLHUP)) break;
    if (Vencido(inicio, limite) || !Pausa(parar_)) return false;
  }
  if (testigo_ < 0) testigo_ = ::open(esclavo_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  return true;
}

int PuertoSimulado::PorLeer() {
  if (testigo_ < 0) testigo_ = ::open(esclavo_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  int bytes = 0;
  if (testigo_ < 0 || ::ioctl(testigo_, TIOCINQ, &bytes) != 0) return -1;
  return bytes;
}

bool PuertoSimulado::EsperarLectura(std::chrono::milliseconds limite) {
  const auto inicio = std::chrono::steady_clock::now();
  // Bytes on their way into the terminal's queue are not counted yet: the
  // queue has to stay empty for a few looks in a row.
  for (int vacio = 0; vacio < 3;) {
    vacio = PorLeer() == 0 ? vacio + 1 : 0;
    if (vacio < 3 && (Vencido(inicio, limite) || !Pausa(parar_))) return false;
  }
  return true;
}
