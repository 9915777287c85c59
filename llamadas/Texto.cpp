#include "llamadas/Texto.h"

#include <algorithm>

std::string_view Recortar(std::string_view texto) {
  const auto inicio = texto.find_first_not_of(' ');
  if (inicio == std::string_view::npos) return {};
  return texto.substr(inicio, texto.find_last_not_of(' ') - inicio + 1);
}

std::string_view Tramo(std::string_view texto, std::size_t desde, std::size_t n) {
  if (desde >= texto.size()) return {};
  return texto.substr(desde, n);
}

std::string_view Derecha(std::string_view texto, std::size_t n) {
  return n >= texto.size() ? texto : texto.substr(texto.size() - n);
}

namespace {
bool EsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }
}  // namespace

std::string SinControles(std::string_view texto) {
  std::string limpio(texto);
  std::replace_if(limpio.begin(), limpio.end(), EsControl, ' ');
  return limpio;
}

bool TieneControles(std::string_view texto) {
  return std::any_of(texto.begin(), texto.end(), EsControl);
}

std::string Utf8DesdeLatin1(std::string_view texto) {
  std::string utf8;
  utf8.reserve(texto.size());
  for (const char c : texto) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      utf8.push_back(c);
    } else {
      utf8.push_back(static_cast<char>(0xC0 | (b >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return utf8;
}
