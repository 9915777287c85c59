#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "Descriptor.h"

// Drains an open serial device on a thread of its own into a receive buffer,
// so nothing is lost while the window's thread is busy. Closing (the
// destructor) stops and joins the thread and closes the device.
class LectorPuerto {
 public:
  // hayDatos runs on the reader's thread each time bytes were added.
  // Past limite bytes waiting the device is left unread (the line then holds
  // the sender back) until Tomar makes room.
  LectorPuerto(Descriptor dispositivo, std::function<void()> hayDatos,
               size_t limite = kLimitePorDefecto);
  ~LectorPuerto();
  LectorPuerto(const LectorPuerto&) = delete;
  LectorPuerto& operator=(const LectorPuerto&) = delete;

  // Takes and removes every byte waiting.
  std::string Tomar();
  size_t Esperando() const;

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
  mutable std::mutex mutex_;
  std::string recibido_;
  std::atomic<bool> detener_ = false;
  std::thread hilo_;
};
