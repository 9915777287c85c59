#pragma once

#include "estacion/nucleo/ListaPendientes.h"

class GestorPendientes;

// The kept calls of this process's queue.
class PendientesDelGestor : public ListaPendientes {
 public:
  explicit PendientesDelGestor(GestorPendientes& gestor) : gestor_(gestor) {}

  std::vector<FilaPendiente> FilasPendientes() const override;
  bool Devolver(uint64_t id) override;
  bool Cargar(uint64_t id) override;
  bool DescartarCargo(uint64_t id) override;

 private:
  GestorPendientes& gestor_;
};
