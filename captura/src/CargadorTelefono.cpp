#include "captura/CargadorTelefono.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace captura {
namespace {

std::string DirectorioDelEjecutable() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : exe.parent_path().string();
}

std::string UltimoErrorDl() {
  const char* texto = dlerror();
  return texto ? texto : "unknown error";
}

}  // namespace

CargadorTelefono::CargadorTelefono(std::string directorio) : directorio_(std::move(directorio)) {}

CargadorTelefono& CargadorTelefono::DelPrograma() {
  static CargadorTelefono cargador;
  return cargador;
}

Estado CargadorTelefono::Cargar() {
  if (crear_) return {};
  const std::string dir = directorio_.empty() ? DirectorioDelEjecutable() : directorio_;
  const std::string ruta = (std::filesystem::path(dir) / kBiblioteca).string();
  // Never closed: objects and row sets of the library may live until exit.
  void* biblioteca = dlopen(ruta.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!biblioteca) {
    return Fallo{kNoSePuedeCrear, "Cannot load " + ruta + ": " + UltimoErrorDl()};
  }
  auto crear = reinterpret_cast<FuncionCrearObjeto>(dlsym(biblioteca, kSimboloCrearObjeto));
  auto puede = reinterpret_cast<FuncionPuedeDescargar>(dlsym(biblioteca, kSimboloPuedeDescargar));
  if (!crear || !puede) {
    return Fallo{kNoSePuedeCrear, ruta + " lacks its entry points: " + UltimoErrorDl()};
  }
  crear_ = crear;
  puedeDescargar_ = puede;
  return {};
}

Resultado<std::unique_ptr<_Telefono>> CargadorTelefono::Crear() {
  std::lock_guard candado(mutex_);
  if (auto e = Cargar(); !e) return e.Falla();
  _Telefono* objeto = nullptr;
  const int32_t hr = crear_(kClaseTelefono, &objeto);
  if (hr != 0 || !objeto) {
    char numero[16];
    std::snprintf(numero, sizeof numero, "0x%08X", static_cast<unsigned>(hr));
    return Fallo{hr != 0 ? hr : kNoSePuedeCrear,
                 std::string("The component refused to create Telefono (") + numero + ")"};
  }
  return std::unique_ptr<_Telefono>(objeto);
}

bool CargadorTelefono::HayObjetosVivos() {
  std::lock_guard candado(mutex_);
  return puedeDescargar_ && puedeDescargar_() != 0;
}

}  // namespace captura
