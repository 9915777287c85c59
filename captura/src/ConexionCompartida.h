#pragma once

#include <functional>
#include <string>

#include "Conexion.h"

namespace captura {

// The process-wide kept connection. The program creates a new Telefono for
// every receive event, so the connection must outlive the objects; opening
// one per statement costs more than the statement on a server.
class ConexionCompartida {
 public:
  using Trabajo = std::function<Estado(Conexion&)>;

  // Runs the work on the kept connection, opening it first when there is
  // none. A connection found broken is dropped afterwards, so the next call
  // opens a fresh one; the work itself is never run twice.
  static Estado Usar(const std::string& cadena, const Trabajo& trabajo);

  // Drops the kept connection and the environment (the next call starts anew).
  static void Descartar();

  // Off: every call opens and closes a connection of its own.
  static void FijarReutilizar(bool reutilizar);
};

}  // namespace captura
