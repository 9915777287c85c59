#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

// Another program on the same SQLite file: a sqlite3 session that runs the
// statements and then waits, holding what they took (a lock), until
// Terminar or the end of the object.
class SesionSqlite {
 public:
  SesionSqlite(const std::string& base, const std::string& dir, const std::string& sql)
      : fifo_(dir + "/fin"), marca_(dir + "/bloqueada") {
    if (mkfifo(fifo_.c_str(), 0600) != 0) return;
    const std::string orden = "(echo \"" + sql + "\"; echo '.system touch " + marca_ + "'; cat " +
                              fifo_ + ") </dev/null 2>&1 | sqlite3 " + base + " >/dev/null 2>&1 &";
    lanzada_ = std::system(orden.c_str()) == 0;
  }
  ~SesionSqlite() { Terminar(); }
  SesionSqlite(const SesionSqlite&) = delete;
  SesionSqlite& operator=(const SesionSqlite&) = delete;

  // True once sqlite3 has run the statements.
  bool Esperar() const {
    for (int i = 0; lanzada_ && i < 100; ++i) {
      if (std::filesystem::exists(marca_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  void Terminar() {
    const int fd = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);  // the end of cat's input ends the session
  }

 private:
  std::string fifo_, marca_;
  bool lanzada_ = false;
};
