#pragma once

#include <vector>

#include "captura/Fallo.h"
#include "llamadas/AvanceRegistro.h"

// The Telefono steps of one call.
enum class PasoTelefono {
  ListarTodo,
  PrecioCostoLocal,
  ReservaHabitacion,
  CrearDetalle,
  Crea,
  ContarDetalles,
  ContarLlamadas
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
  // What the call learned and did so far, to be kept when it waits.
  AvanceRegistro Avance;

  bool Ok() const { return Fallidos.empty(); }
};
