#pragma once

#include <signal.h>
#include <sys/resource.h>

// For tests: while it lives, writes that would make a file larger than the
// given size fail with EFBIG, as on a full disk.
class LimiteArchivo {
 public:
  explicit LimiteArchivo(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &anterior_);
    rlimit limite = anterior_;
    limite.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limite);
  }
  ~LimiteArchivo() { ::setrlimit(RLIMIT_FSIZE, &anterior_); }
  LimiteArchivo(const LimiteArchivo&) = delete;
  LimiteArchivo& operator=(const LimiteArchivo&) = delete;

 private:
  rlimit anterior_{};
};
