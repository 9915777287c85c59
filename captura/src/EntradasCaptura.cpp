// The library's exported C entry points: the class factory and the query
// whether any object still lives. Everything else stays hidden.
#include <cstring>
#include <memory>
#include <new>

#include "Telefono.h"

namespace {

constexpr int32_t kPunteroNulo = static_cast<int32_t>(0x80004003);
constexpr int32_t kSinMemoria = static_cast<int32_t>(0x8007000E);

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t CapturaCrearObjeto(
    const char* clase, captura::_Telefono** objeto) noexcept {
  if (objeto == nullptr) return kPunteroNulo;
  *objeto = nullptr;
  if (clase == nullptr || std::strcmp(clase, captura::kClaseTelefono) != 0) {
    return captura::kClaseNoDisponible;
  }
  try {
    *objeto = std::make_unique<captura::Telefono>().release();
  } catch (const std::bad_alloc&) {
    return kSinMemoria;
  }
  return 0;
}

extern "C" __attribute__((visibility("default"))) int32_t CapturaPuedeDescargar() noexcept {
  return captura::Telefono::Vivos() == 0 ? 0 : 1;
}
