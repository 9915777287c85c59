#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "TextoSql.h"
#include "captura/Resultado.h"

namespace captura {

// An INSERT text: a fixed head, then the values in column order separated
// by "," without blanks, then ")".
class InsercionSql {
 public:
  explicit InsercionSql(std::string_view cabeza) : sql_(cabeza) {}

  InsercionSql& Entero(int64_t valor) { return Agregar(TextoSql::Entero(valor)); }
  InsercionSql& Texto(std::string_view valor) { return Agregar(TextoSql::Texto(valor)); }
  InsercionSql& Float(float valor) { return Agregar(TextoSql::Float(valor)); }
  InsercionSql& Fecha(captura::Fecha valor) { return Agregar(TextoSql::Fecha(valor)); }
  InsercionSql& Hora(captura::Fecha valor) { return Agregar(TextoSql::Hora(valor)); }

  // The statement, or an overflow failure when a value has no SQL form.
  Resultado<std::string> Terminar() const;

 private:
  InsercionSql& Agregar(std::optional<std::string> valor);

  std::string sql_;
  bool primero_ = true;
  bool desbordado_ = false;
};

}  // namespace captura
