#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "captura/Descriptor.h"

class DiarioRecepcion;

// Drains an open serial device on a thread of its own into a receive buffer,
// so nothing is lost while the window's thread is busy. Closing (the
// destructor) stops and joins the thread and closes the device.
class LectorPuerto {
 public:
  struct Opciones {
    // Past this many bytes waiting the device is left unread (the line then
    // holds the sender back) until Tomar makes room.
    size_t Limite = kLimitePorDefecto;
    // Stream position of the first byte to be read.
    uint64_t Inicio = 0;
    // When set, every byte read is written there before anyone can take it.
    DiarioRecepcion* Diario = nullptr;
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

  // Takes and removes every byte waiting.
  Tomado Tomar();
  size_t Esperando() const;
  // Stops reading for good; Fin is final afterwards.
  void Detener();
  // Stream position after the last byte read.
  uint64_t Fin() const;

  // About 24 minutes of a 115,200-baud line.
  static constexpr size_t kLimitePorDefecto = size_t{16} << 20;

 private:
  void Leer();
  bool BufferLleno() const;
  // Returns false when the device gave end-of-file or an error.
  bool Vaciar();
  void Despertar();

  Descriptor dispositivo_;
  Descriptor aviso_;  // eventfd: stop, or room made in the buffer
  std::function<void()> hayDatos_;
  const size_t limite_;
  DiarioRecepcion* const diario_;
  mutable std::mutex mutex_;
  std::string recibido_;
  uint64_t posicion_;  // stream position of recibido_'s first byte
  std::atomic<bool> detener_ = false;
  std::thread hilo_;
};
