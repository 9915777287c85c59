#pragma once

#include <utility>
#include <variant>

#include "captura/Fallo.h"

namespace captura {

// Either the value of a call that succeeded or its failure. Failures cross
// the component boundary as values, never as exceptions.
template <class T>
class [[nodiscard]] Resultado {
 public:
  Resultado(T dato) : contenido_(std::in_place_index<0>, std::move(dato)) {}
  Resultado(Fallo fallo) : contenido_(std::in_place_index<1>, std::move(fallo)) {}

  bool Ok() const noexcept { return contenido_.index() == 0; }
  explicit operator bool() const noexcept { return Ok(); }

  T& Dato() & { return std::get<0>(contenido_); }
  const T& Dato() const& { return std::get<0>(contenido_); }
  T&& Dato() && { return std::get<0>(std::move(contenido_)); }
  const Fallo& Falla() const { return std::get<1>(contenido_); }

 private:
  std::variant<T, Fallo> contenido_;
};

template <>
class [[nodiscard]] Resultado<void> {
 public:
  Resultado() = default;
  Resultado(Fallo fallo) : fallo_(std::move(fallo)), ok_(false) {}

  bool Ok() const noexcept { return ok_; }
  explicit operator bool() const noexcept { return ok_; }
  const Fallo& Falla() const { return fallo_; }

 private:
  Fallo fallo_;
  bool ok_ = true;
};

using Estado = Resultado<void>;

}  // namespace captura
