#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "captura/Resultado.h"

namespace captura {

// One field value of a row: NULL, an integer, a real number or a text.
// NULL is distinct from 0 and from the empty text. The conversions behave
// like the automation runtime's: a NULL fails (94), a text that is not a
// number fails (13), a value out of range fails (6); reals round to the even
// neighbour when converted to an integer.
class Valor {
 public:
  Valor() = default;  // NULL
  static Valor Entero(int64_t v);
  static Valor Real(double v);
  static Valor Texto(std::string v);

  bool EsNulo() const noexcept { return std::holds_alternative<std::monostate>(dato_); }
  bool EsTexto() const noexcept { return std::holds_alternative<std::string>(dato_); }

  Resultado<int32_t> ALong() const;
  Resultado<float> AFloat() const;
  Resultado<std::string> ATexto() const;

  bool operator==(const Valor&) const = default;

 private:
  Resultado<double> ANumero() const;

  std::variant<std::monostate, int64_t, double, std::string> dato_;
};

}  // namespace captura
