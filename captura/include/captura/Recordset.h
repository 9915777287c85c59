#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "captura/Valor.h"

namespace captura {

// A disconnected row set: every row is held in memory, so RecordCount is
// exact and no connection is needed to read it.
class Recordset {
 public:
  using Fila = std::vector<Valor>;

  Recordset() = default;
  explicit Recordset(std::vector<std::string> columnas);

  // Adds a row; it must hold one value per column.
  void AgregarFila(Fila fila);

  const std::vector<std::string>& Columnas() const noexcept { return columnas_; }
  long RecordCount() const noexcept { return static_cast<long>(filas_.size()); }
  void MoveFirst() noexcept { actual_ = 0; }
  void MoveNext() noexcept;
  bool EOF_() const noexcept { return filas_.empty() || actual_ >= filas_.size(); }
  bool BOF() const noexcept { return filas_.empty(); }

  // The current row's value of the named field, without regard to case.
  // Fails when the field does not exist or there is no current row.
  Resultado<Valor> Campo(std::string_view nombre) const;

  // The position of the named field, without regard to case, so that a
  // loop over the rows looks the name up once.
  std::optional<std::size_t> Indice(std::string_view nombre) const;
  // The current row's value at a position Indice gave.
  Resultado<Valor> Campo(std::size_t indice) const;

 private:
  std::vector<std::string> columnas_;
  std::vector<Fila> filas_;
  std::size_t actual_ = 0;
};

}  // namespace captura
