#pragma once

#include <vector>

#include "captura/Fallo.h"

// The Telefono steps of one call.
enum class PasoTelefono {
  ListarTodo,
  PrecioCostoLocal,
  ReservaHabitacion,
  CrearDetalle,
  Crea,
  ContarRegistrados
};

struct PasoFallido {
  PasoTelefono Paso;
  captura::Fallo Fallo;
};

// What became of one call handed to RegistrarLlamada: the steps that failed
// (each one abandoned alone) and whether the charge and the call were posted.
struct ResumenRegistro {
  std::vector<PasoFallido> Fallidos;
  bool CargoRegistrado = false;
  bool LlamadaGuardada = false;
  // Re-posting: found already stored, so not posted again.
  bool CargoExistente = false;
  bool LlamadaExistente = false;

  bool Ok() const { return Fallidos.empty(); }
};
