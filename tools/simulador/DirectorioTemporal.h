#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

// A fresh directory under /tmp for one test, removed with everything in it.
class DirectorioTemporal {
 public:
  DirectorioTemporal() {
    std::string plantilla = (std::filesystem::temp_directory_path() / "sentrel-XXXXXX").string();
    if (!::mkdtemp(plantilla.data())) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    ruta_ = plantilla;
  }
  ~DirectorioTemporal() {
    std::error_code error;
    std::filesystem::remove_all(ruta_, error);
  }
  DirectorioTemporal(const DirectorioTemporal&) = delete;
  DirectorioTemporal& operator=(const DirectorioTemporal&) = delete;

  const std::filesystem::path& Ruta() const { return ruta_; }

 private:
  std::filesystem::path ruta_;
};
