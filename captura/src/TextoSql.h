#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "captura/_Telefono.h"

namespace captura {

// Text forms of values written into SQL statements.
class TextoSql {
 public:
  // The text with each single quote doubled, so it cannot end the literal.
  static std::string Escapar(std::string_view texto);
  // The text between single quotes.
  static std::string Texto(std::string_view texto);
  static std::string Entero(int64_t valor);
  // General form, at most seven significant digits, no trailing zeros, "."
  // whatever the locale; nothing for infinities and NaN.
  static std::optional<std::string> Float(float valor);
  // The locale's date (and time) form between quotes; nothing outside the
  // automation date range.
  static std::optional<std::string> Fecha(captura::Fecha valor);
  // "hh:mm" between quotes.
  static std::optional<std::string> Hora(captura::Fecha valor);
};

}  // namespace captura
