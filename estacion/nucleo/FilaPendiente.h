#pragma once

#include <cstdint>
#include <string>

// One kept call as the pending window shows it, with its queue Id.
struct FilaPendiente {
  uint64_t Id = 0;
  bool Aparcada = false;
  bool CargoAConfirmar = false;
  int64_t Recibida = 0;  // seconds since the epoch; 0 when not known
  uint32_t Intentos = 0;
  std::string Falla;  // the last failure, or why it waits
  int32_t Reserva = 0;
  std::string Linea;  // whole, as readable text
};
