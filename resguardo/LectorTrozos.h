#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"

// A stretch of an open file looked at through a window of bounded size, so
// a file of any size is read at start without holding it whole. Offsets
// count from the stretch's first byte.
class LectorTrozos {
 public:
  static constexpr std::size_t kVentana = std::size_t{4} << 20;

  LectorTrozos(const Descriptor& archivo, uint64_t desde, uint64_t largo,
               std::filesystem::path ruta);

  uint64_t Largo() const { return largo_; }
  // A stretch of this one, with a window of its own.
  LectorTrozos Parte(uint64_t desde, uint64_t largo) const {
    return LectorTrozos(archivo_, desde_ + desde, largo, ruta_);
  }
  // Up to n bytes (at most kVentana) from the offset, fewer at the end;
  // valid until the next call.
  captura::Resultado<std::string_view> Ver(uint64_t desplazamiento, std::size_t n);
  // Where the text next occurs at or after the offset; nothing when it does not.
  captura::Resultado<std::optional<uint64_t>> Buscar(std::string_view texto,
                                                     uint64_t desplazamiento);

 private:
  const Descriptor& archivo_;
  const uint64_t desde_;
  const uint64_t largo_;
  const std::filesystem::path ruta_;
  std::string ventana_;
  uint64_t inicio_ = 0;  // offset of the window's first byte
};
