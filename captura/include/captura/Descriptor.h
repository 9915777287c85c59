#pragma once

#include <unistd.h>

#include <utility>

// Owns a file descriptor; closes it when it goes.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Cerrar(); }
  Descriptor(Descriptor&& otro) noexcept : fd_(std::exchange(otro.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& otro) noexcept {
    if (this != &otro) {
      Cerrar();
      fd_ = std::exchange(otro.fd_, -1);
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int fd() const { return fd_; }
  bool Valido() const { return fd_ >= 0; }
  // Closes now; false when the close reports an error (unwritten data).
  bool Cerrar() noexcept {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_ = -1;
};
