#pragma once

#include <cstdint>
#include <string>

namespace captura {

// The failure of one step: its number and description, as the database
// interface or the value conversion raised them.
struct Fallo {
  int32_t Numero = 0;
  std::string Descripcion;
};

// Numbers of the value-conversion failures, as the automation runtime numbers them.
inline constexpr int32_t kErrorDesbordamiento = 6;  // Overflow
inline constexpr int32_t kErrorTipo = 13;           // Type mismatch
inline constexpr int32_t kErrorNulo = 94;           // Invalid use of Null

}  // namespace captura
