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
  // Called for every carriage return, in order: the line it closes (empty
  // when it closes none) and the position in `texto` right after it.
  using PorRetorno = std::function<void(std::string_view linea, std::size_t trasRetorno)>;

  void Enmarcar(std::string_view texto, const PorRetorno& porRetorno);

  // Starts from the given carried text (a line begun before a restart).
  void Continuar(std::string pendiente) { pendiente_ = std::move(pendiente); }

  // Text carried into the next call (at most one line long).
  const std::string& Pendiente() const { return pendiente_; }

 private:
  std::string pendiente_;
};
