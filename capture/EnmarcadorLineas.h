#pragma once

#include <functional>
#include <string>
#include <string_view>

// Cuts received text into call lines: the 80 characters right before each
// carriage return. The text after the last carriage return is kept and put
// in front of the next text, so a line split over two receive events is
// framed once, whole.
class EnmarcadorLineas {
 public:
  using PorLinea = std::function<void(std::string_view linea)>;

  void Enmarcar(std::string_view texto, const PorLinea& porLinea);

  // Text carried into the next call (at most one line long).
  const std::string& Pendiente() const { return pendiente_; }

 private:
  std::string pendiente_;
};
