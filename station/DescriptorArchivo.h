#pragma once

#include <unistd.h>

// Owns one open file descriptor and closes it when it goes.
class DescriptorArchivo {
 public:
  explicit DescriptorArchivo(int fd) noexcept : fd_(fd) {}
  DescriptorArchivo(const DescriptorArchivo&) = delete;
  DescriptorArchivo& operator=(const DescriptorArchivo&) = delete;
  ~DescriptorArchivo() { Cerrar(); }

  int Fd() const noexcept { return fd_; }
  bool Abierto() const noexcept { return fd_ >= 0; }

  // Closes now; false when the close reports an error (unwritten data).
  bool Cerrar() noexcept {
    if (fd_ < 0) return true;
    const int resultado = ::close(fd_);
    fd_ = -1;
    return resultado == 0;
  }

 private:
  int fd_;
};
