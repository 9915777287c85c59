#pragma once

#include <cstdint>
#include <vector>

#include "estacion/nucleo/FilaPendiente.h"

// The kept calls and the operator's commands for them, as the pending
// window uses them: from the queue of this process or from the service's.
class ListaPendientes {
 public:
  virtual ~ListaPendientes() = default;

  // Oldest first.
  virtual std::vector<FilaPendiente> FilasPendientes() const = 0;
  // As GestorPendientes takes them: false when no such call is there (any more).
  virtual bool Devolver(uint64_t id) = 0;
  virtual bool Cargar(uint64_t id) = 0;
  virtual bool DescartarCargo(uint64_t id) = 0;
};
