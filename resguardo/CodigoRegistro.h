#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The one codec of the fields of the station's record files (the receive
// journal and the queue): fixed-width numbers, little-endian whatever the
// machine.
namespace codigo_registro {

template <class T>
void Poner(std::string& destino, T valor) {
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    destino += static_cast<char>(static_cast<uint64_t>(valor) >> (8 * i) & 0xFF);
  }
}

// The number at `desde`; the caller has checked that its bytes are there.
template <class T>
T Tomar(std::string_view origen, std::size_t desde) {
  uint64_t valor = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    valor |= static_cast<uint64_t>(static_cast<unsigned char>(origen[desde + i])) << (8 * i);
  }
  return static_cast<T>(valor);
}

}  // namespace codigo_registro
