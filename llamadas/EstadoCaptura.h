#pragma once

#include <cstdint>
#include <string>

// The burst state the receive handler shares with the check timer; members of
// the main window, all 0 when it loads.
struct EstadoCaptura {
  int16_t Recibiendo = 0;      // 1 while a burst is in progress
  int16_t ContadorEspera = 0;  // timer ticks since the last receive event
  int16_t NumeroPuerto = 0;    // port number shown in the status texts
  // What the status texts name instead of "Puerto COM n" when the exchange
  // is reached over the network ("Central 192.168.1.20:2300").
  std::string Origen;
  // Quiet ticks after which a burst is over (0: none ends it by the tick).
  int16_t TiempoConexion = 0;
};
