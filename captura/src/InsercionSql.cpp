#include "InsercionSql.h"

#include "captura/Fallo.h"

namespace captura {

InsercionSql& InsercionSql::Agregar(std::optional<std::string> valor) {
  if (!valor) {
    desbordado_ = true;
    return *this;
  }
  if (!primero_) sql_ += ',';
  sql_ += *valor;
  primero_ = false;
  return *this;
}

Resultado<std::string> InsercionSql::Terminar() const {
  if (desbordado_) return Fallo{kErrorDesbordamiento, "Overflow"};
  return sql_ + ")";
}

}  // namespace captura
