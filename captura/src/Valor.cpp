#include "captura/Valor.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace captura {
namespace {

Fallo FalloNulo() { return {kErrorNulo, "Invalid use of Null"}; }
Fallo FalloTipo() { return {kErrorTipo, "Type mismatch"}; }
Fallo FalloDesborde() { return {kErrorDesbordamiento, "Overflow"}; }

// A text is a number when, apart from surrounding blanks, it is a decimal
// number with "." as separator (the form in which databases return them),
// whatever the process locale says.
std::optional<double> LeerNumero(const std::string& texto) {
  const auto inicio = texto.find_first_not_of(" \t");
  if (inicio == std::string::npos) return std::nullopt;
  const auto fin = texto.find_last_not_of(" \t");
  const char* primero = texto.data() + inicio;
  const char* ultimo = texto.data() + fin + 1;
  if (*primero == '+') ++primero;
  double v = 0;
  const auto [resto, error] = std::from_chars(primero, ultimo, v);
  if (error != std::errc() || resto != ultimo || !std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace

Valor Valor::Entero(int64_t v) {
  Valor r;
  r.dato_ = v;
  return r;
}

Valor Valor::Real(double v) {
  Valor r;
  r.dato_ = v;
  return r;
}

Valor Valor::Texto(std::string v) {
  Valor r;
  r.dato_ = std::move(v);
  return r;
}

Resultado<double> Valor::ANumero() const {
  if (EsNulo()) return FalloNulo();
  if (auto* e = std::get_if<int64_t>(&dato_)) return static_cast<double>(*e);
  if (auto* d = std::get_if<double>(&dato_)) return *d;
  if (auto v = LeerNumero(std::get<std::string>(dato_))) return *v;
  return FalloTipo();
}

Resultado<int32_t> Valor::ALong() const {
  if (auto* e = std::get_if<int64_t>(&dato_)) {
    if (*e < INT32_MIN || *e > INT32_MAX) return FalloDesborde();
    return static_cast<int32_t>(*e);
  }
  auto numero = ANumero();
  if (!numero) return numero.Falla();
  const double redondo = std::nearbyint(numero.Dato());  // halves to even
  if (redondo < INT32_MIN || redondo > INT32_MAX) return FalloDesborde();
  return static_cast<int32_t>(redondo);
}

Resultado<float> Valor::AFloat() const {
  auto numero = ANumero();
  if (!numero) return numero.Falla();
  if (std::fabs(numero.Dato()) > FLT_MAX) return FalloDesborde();
  return static_cast<float>(numero.Dato());
}

Resultado<std::string> Valor::ATexto() const {
  if (EsNulo()) return FalloNulo();
  if (auto* e = std::get_if<int64_t>(&dato_)) return std::to_string(*e);
  if (auto* d = std::get_if<double>(&dato_)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", *d);
    return std::string(buf);
  }
  return std::get<std::string>(dato_);
}

}  // namespace captura
