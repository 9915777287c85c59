#include "InsercionSql.h"

#include <vector>

#include "captura/Fallo.h"

namespace captura {
namespace {

std::string_view SinBlancos(std::string_view t) {
  const auto inicio = t.find_first_not_of(' ');
  if (inicio == std::string_view::npos) return {};
  return t.substr(inicio, t.find_last_not_of(' ') - inicio + 1);
}

// The table and the columns of "INSERT INTO tabla (a, b, ...) Values(": read
// only when a count is asked for, never on the posting path.
struct Destino {
  std::string_view tabla;
  std::vector<std::string_view> columnas;
};

Destino LeerDestino(std::string_view cabeza) {
  static constexpr std::string_view kInsertar = "INSERT INTO ";
  Destino d;
  const auto abre = cabeza.find('(');
  const auto cierra = cabeza.find(')', abre);
  if (abre == std::string_view::npos || cierra == std::string_view::npos) return d;
  d.tabla = SinBlancos(cabeza.substr(kInsertar.size(), abre - kInsertar.size()));
  std::string_view lista = cabeza.substr(abre + 1, cierra - abre - 1);
  while (!lista.empty()) {
    const auto coma = lista.find(',');
    d.columnas.push_back(SinBlancos(lista.substr(0, coma)));
    lista = coma == std::string_view::npos ? std::string_view() : lista.substr(coma + 1);
  }
  return d;
}

}  // namespace

InsercionSql::InsercionSql(std::string_view cabeza) : cabeza_(cabeza) {}

InsercionSql& InsercionSql::Agregar(std::optional<std::string> valor, bool real) {
  if (!valor) {
    desbordado_ = true;
    return *this;
  }
  valores_.push_back({std::move(*valor), real});
  return *this;
}

Resultado<std::string> InsercionSql::Terminar() const {
  if (desbordado_) return Fallo{kErrorDesbordamiento, "Overflow"};
  std::string sql = cabeza_;
  for (std::size_t i = 0; i < valores_.size(); ++i) {
    if (i > 0) sql += ',';
    sql += valores_[i].texto;
  }
  return sql + ")";
}

Resultado<std::string> InsercionSql::Contar() const {
  if (desbordado_) return Fallo{kErrorDesbordamiento, "Overflow"};
  const Destino destino = LeerDestino(cabeza_);
  if (destino.columnas.size() != valores_.size())
    return Fallo{kErrorArgumento, "Invalid procedure call or argument"};
  std::string sql = "Select Count(*) As Cuantos From " + std::string(destino.tabla) + " Where ";
  for (std::size_t i = 0; i < valores_.size(); ++i) {
    const Valor& v = valores_[i];
    if (i > 0) sql += " And ";
    sql += std::string(destino.columnas[i]) + "=" +
           (v.real ? "CAST(" + v.texto + " AS REAL)" : v.texto);
  }
  return sql + ";";
}

}  // namespace captura
