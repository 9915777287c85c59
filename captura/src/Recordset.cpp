#include "captura/Recordset.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace captura {
namespace {

bool IgualSinMayusculas(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

Recordset::Recordset(std::vector<std::string> columnas) : columnas_(std::move(columnas)) {}

void Recordset::AgregarFila(Fila fila) {
  if (fila.size() != columnas_.size()) {
    throw std::invalid_argument("Recordset: la fila no tiene un valor por columna");
  }
  filas_.push_back(std::move(fila));
}

void Recordset::MoveNext() noexcept {
  if (actual_ < filas_.size()) ++actual_;
}

std::optional<std::size_t> Recordset::Indice(std::string_view nombre) const {
  const auto it = std::find_if(columnas_.begin(), columnas_.end(),
                               [&](const std::string& c) { return IgualSinMayusculas(c, nombre); });
  if (it == columnas_.end()) return std::nullopt;
  return static_cast<std::size_t>(it - columnas_.begin());
}

Resultado<Valor> Recordset::Campo(std::size_t indice) const {
  if (indice >= columnas_.size()) {
    return Fallo{3265, "Item cannot be found in the collection: " + std::to_string(indice)};
  }
  if (EOF_()) return Fallo{3021, "Either BOF or EOF is True, or the current record is deleted"};
  return filas_[actual_][indice];
}

Resultado<Valor> Recordset::Campo(std::string_view nombre) const {
  const auto indice = Indice(nombre);
  if (!indice) return Fallo{3265, "Item cannot be found in the collection: " + std::string(nombre)};
  return Campo(*indice);
}

}  // namespace captura
