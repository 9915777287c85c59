#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

// A fresh directory for one test, removed with all its content at the end.
class DirectorioPrueba {
 public:
  DirectorioPrueba() {
    std::string plantilla = (std::filesystem::temp_directory_path() / "sentrel-XXXXXX").string();
    if (::mkdtemp(plantilla.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    ruta_ = plantilla;
  }
  DirectorioPrueba(const DirectorioPrueba&) = delete;
  DirectorioPrueba& operator=(const DirectorioPrueba&) = delete;
  ~DirectorioPrueba() {
    std::error_code ec;
    std::filesystem::permissions(ruta_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(ruta_, ec);
  }

  std::string Ruta(const std::string& nombre) const { return (ruta_ / nombre).string(); }
  const std::filesystem::path& Ruta() const { return ruta_; }

  static std::string Leer(const std::string& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    std::ostringstream contenido;
    contenido << entrada.rdbuf();
    return contenido.str();
  }

  static void Escribir(const std::string& archivo, const std::string& contenido) {
    std::ofstream(archivo, std::ios::binary) << contenido;
  }

 private:
  std::filesystem::path ruta_;
};
