#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "captura/_Telefono.h"

namespace captura {

// The program's side of the component: loads libcaptura.so when the first
// Telefono is created and keeps it loaded for the life of the process.
class CargadorTelefono {
 public:
  static constexpr char kBiblioteca[] = "libcaptura.so";

  // Loads from the given directory; the empty text means the directory of
  // the running executable.
  explicit CargadorTelefono(std::string directorio = {});

  // The loader the program uses: the library beside the executable.
  static CargadorTelefono& DelPrograma();

  // A new Telefono, or the failure of loading the library or creating it.
  Resultado<std::unique_ptr<_Telefono>> Crear();

  // True while some object of the loaded library still lives.
  bool HayObjetosVivos();

 private:
  Estado Cargar();

  std::mutex mutex_;
  std::string directorio_;
  FuncionCrearObjeto crear_ = nullptr;
  FuncionPuedeDescargar puedeDescargar_ = nullptr;
};

}  // namespace captura
