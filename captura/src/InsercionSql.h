#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TextoSql.h"
#include "captura/Resultado.h"

namespace captura {

// The columns and values of one row: written as an INSERT text (a fixed
// head, then the values in column order separated by "," without blanks,
// then ")") or looked up again with a count of the rows equal on every
// column.
class InsercionSql {
 public:
  // The head names the columns: "INSERT INTO tabla(a,b, c) VALUES(".
  explicit InsercionSql(std::string_view cabeza);

  InsercionSql& Entero(int64_t valor) { return Agregar(TextoSql::Entero(valor)); }
  InsercionSql& Texto(std::string_view valor) { return Agregar(TextoSql::Texto(valor)); }
  InsercionSql& Float(float valor) { return Agregar(TextoSql::Float(valor), true); }
  InsercionSql& Fecha(captura::Fecha valor) { return Agregar(TextoSql::Fecha(valor)); }
  InsercionSql& Hora(captura::Fecha valor) { return Agregar(TextoSql::Hora(valor)); }

  // The statement, or an overflow failure when a value has no SQL form.
  Resultado<std::string> Terminar() const;
  // "Select Count(*) As Cuantos From tabla Where columna=valor And ...": the
  // rows equal to this one on every column. A real column is compared with
  // its value cast to REAL, so that a stored single precision value equals
  // the text it was written from on every engine.
  Resultado<std::string> Contar() const;

 private:
  struct Valor {
    std::string texto;
    bool real;
  };
  InsercionSql& Agregar(std::optional<std::string> valor, bool real = false);

  std::string cabeza_;
  std::vector<Valor> valores_;
  bool desbordado_ = false;
};

}  // namespace captura
