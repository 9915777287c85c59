#pragma once

#include <netdb.h>

#include <memory>
#include <string>

#include "captura/Resultado.h"

// A host name looked up on a thread of its own: the system's lookup cannot
// be interrupted, and whoever waits for it (the reader, which closing the
// port joins) must be able to give up. A lookup given up runs on by itself
// and frees what it found.
class BusquedaNombre {
 public:
  using Direcciones = std::shared_ptr<const addrinfo>;

  // The addresses of host and service (numeric ones at once, with no
  // thread); fails with ECANCELED when the descriptor parar becomes readable first.
  static captura::Resultado<Direcciones> Buscar(const std::string& host,
                                                const std::string& servicio, const addrinfo& pista,
                                                int parar);
};
