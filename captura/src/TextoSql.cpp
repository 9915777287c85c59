#include "TextoSql.h"

#include <array>
#include <charconv>
#include <cmath>

#include "captura/Regional.h"

namespace captura {
namespace {

// Automation dates run from 1 January 100 to 31 December 9999.
constexpr double kFechaMinima = -657434.0;
constexpr double kFechaMaxima = 2958466.0;

bool FechaValida(captura::Fecha valor) {
  return std::isfinite(valor) && valor >= kFechaMinima && valor < kFechaMaxima;
}

}  // namespace

std::string TextoSql::Escapar(std::string_view texto) {
  std::string r;
  r.reserve(texto.size() + 2);
  for (char c : texto) {
    r += c;
    if (c == '\'') r += '\'';
  }
  return r;
}

std::string TextoSql::Texto(std::string_view texto) { return "'" + Escapar(texto) + "'"; }

std::string TextoSql::Entero(int64_t valor) { return std::to_string(valor); }

std::optional<std::string> TextoSql::Float(float valor) {
  if (!std::isfinite(valor)) return std::nullopt;
  // to_chars ignores the locale: the separator is always ".".
  std::array<char, 32> buf{};
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<double>(valor),
                               std::chars_format::general, 7);
  return std::string(buf.data(), r.ptr);
}

std::optional<std::string> TextoSql::Fecha(captura::Fecha valor) {
  if (!FechaValida(valor)) return std::nullopt;
  return "'" + Regional::EscribirFecha(valor) + "'";
}

std::optional<std::string> TextoSql::Hora(captura::Fecha valor) {
  if (!FechaValida(valor)) return std::nullopt;
  return "'" + Regional::EscribirHora(valor) + "'";
}

}  // namespace captura
