#include "resguardo/LectorTrozos.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "resguardo/ArchivoDisco.h"

LectorTrozos::LectorTrozos(const Descriptor& archivo, uint64_t desde, uint64_t largo,
                           std::filesystem::path ruta)
    : archivo_(archivo), desde_(desde), largo_(largo), ruta_(std::move(ruta)) {}

captura::Resultado<std::string_view> LectorTrozos::Ver(uint64_t desplazamiento, std::size_t n) {
  desplazamiento = std::min(desplazamiento, largo_);
  n = static_cast<std::size_t>(std::min<uint64_t>(n, largo_ - desplazamiento));
  if (desplazamiento < inicio_ || desplazamiento + n > inicio_ + ventana_.size()) {
    ventana_.clear();
    inicio_ = desplazamiento;
    const auto leer = std::min<uint64_t>(kVentana, largo_ - desplazamiento);
    if (auto leido =
            archivo_disco::LeerDe(archivo_, desde_ + desplazamiento, leer, ventana_, ruta_);
        !leido) {
      return leido.Falla();
    }
  }
  return std::string_view(ventana_).substr(desplazamiento - inicio_, n);
}

captura::Resultado<std::optional<uint64_t>> LectorTrozos::Buscar(std::string_view texto,
                                                                 uint64_t desplazamiento) {
  while (desplazamiento + texto.size() <= largo_) {
    auto visto = Ver(desplazamiento, kVentana);
    if (!visto) return visto.Falla();
    if (const auto p = visto.Dato().find(texto); p != std::string_view::npos) {
      return std::optional<uint64_t>(desplazamiento + p);
    }
    if (desplazamiento + visto.Dato().size() >= largo_) break;
    // The text may straddle the window's end.
    desplazamiento += visto.Dato().size() - (texto.size() - 1);
  }
  return std::optional<uint64_t>();
}
