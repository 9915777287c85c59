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
inline constexpr int32_t kErrorArgumento = 5;       // Invalid procedure call or argument

// Numbers of the database interface's failures.
inline constexpr int32_t kErrorConexion = static_cast<int32_t>(0x80004005);   // cannot connect
inline constexpr int32_t kErrorSentencia = static_cast<int32_t>(0x80040E14);  // rejected
inline constexpr int32_t kErrorTiempo = static_cast<int32_t>(0x80040E31);     // time-out expired

// The component could not be loaded or would not create its object.
inline constexpr int32_t kNoSePuedeCrear = 429;  // ActiveX component can't create object

}  // namespace captura
