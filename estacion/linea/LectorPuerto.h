#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"

class DiarioRecepcion;

// Drains a serial device or a network connection on a thread of its own into
// a receive buffer, so nothing is lost while the window's thread is busy. A
// device that is gone (hung up, unplugged, its name now leading to another
// device, a connection closed or dead) is closed and opened again until it
// comes back, waiting ReintentoInicial after the loss and twice as long after
// each failed try, up to ReintentoMaximo; the buffer and the stream positions
// go on across it, the bytes after a loss one position past those before it
// so that nobody takes them for a continuation. Given no device, it opens one
// at once the same way.
// Closing (the destructor) stops and joins the thread and closes the device.
class LectorPuerto {
 public:
  // About 24 minutes of a 115,200-baud line.
  static constexpr size_t kLimitePorDefecto = size_t{16} << 20;
  static constexpr std::chrono::milliseconds kReintento{2000};

  struct Opciones {
    // Past this many bytes waiting the device is left unread (the line then
    // holds the sender back) until Tomar makes room.
    size_t Limite = kLimitePorDefecto;
    // Stream position of the first byte to be read.
    uint64_t Inicio = 0;
    // When set, every byte read is written there before anyone can take it.
    DiarioRecepcion* Diario = nullptr;
    // Opens the device anew; without it a lost device stays lost. It gives
    // up when the descriptor parar becomes readable (the reader is stopping).
    std::function<captura::Resultado<Descriptor>(int parar)> Reabrir;
    std::chrono::milliseconds ReintentoInicial = kReintento;
    std::chrono::milliseconds ReintentoMaximo = kReintento;
    // The path the device's name leads to now, and the directory whose
    // changes may make it lead elsewhere.
    std::function<std::filesystem::path()> Ruta;
    std::filesystem::path Vigilado;
    // A descriptor watched while the device is open, and what to do when it
    // becomes readable (a second exchange knocking): a device to read in
    // place of the open one, once that one has given all it holds, or none.
    int Puerta = -1;
    std::function<std::optional<Descriptor>()> AlLlamar;
    // Told on the reader's thread: the device was lost or could not be
    // opened (and why), or is back (no failure); once each, not per try.
    std::function<void(std::optional<captura::Fallo>)> AlCambiar;
  };

  struct Tomado {
    std::string Bytes;
    uint64_t Posicion = 0;  // stream position of the first byte
  };

  // hayDatos runs on the reader's thread each time bytes were added.
  LectorPuerto(Descriptor dispositivo, std::function<void()> hayDatos, Opciones opciones);
  ~LectorPuerto();
  LectorPuerto(const LectorPuerto&) = delete;
  LectorPuerto& operator=(const LectorPuerto&) = delete;

  // Takes and removes the bytes waiting up to the first gap (the rest wait
  // for the next call).
  Tomado Tomar();
  size_t Esperando() const;
  // Stops reading for good; Fin is final afterwards.
  void Detener();
  // Stream position after the last byte read.
  uint64_t Fin() const;

 private:
  void Leer();
  bool BufferLleno() const;
  // Nothing while the device reads; why it is gone otherwise.
  std::optional<captura::Fallo> Vaciar(short eventos);
  void Recibir(std::string_view bytes);
  std::optional<captura::Fallo> CambioDeNombre();
  std::optional<captura::Fallo> Llamada();
  void Perder(captura::Fallo motivo);
  void Reabrir();
  void Despertar();

  Descriptor dispositivo_;
  Descriptor aviso_;  // eventfd: stop, or room made in the buffer
  Descriptor vigia_;  // inotify on the directory of the device's name
  std::function<void()> hayDatos_;
  Opciones opciones_;
  // The reader's own: whether to wait before the next opening, for how
  // long, and whether the loss was told.
  bool esperar_ = false;
  std::chrono::milliseconds espera_;
  bool caida_ = false;
  mutable std::mutex mutex_;
  std::deque<Tomado> recibido_;  // contiguous stretches, a gap between two
  size_t esperando_ = 0;         // bytes in them
  uint64_t siguiente_;           // stream position of the next byte read
  bool salto_ = false;           // the next byte read follows a loss
  std::atomic<bool> detener_ = false;
  std::thread hilo_;
};
