#pragma once

#include <cstdint>

// The burst state the receive handler shares with the check timer; members of
// the main window, all 0 when it loads.
struct EstadoCaptura {
  int16_t Recibiendo = 0;      // 1 while a burst is in progress
  int16_t ContadorEspera = 0;  // timer ticks since the last receive event
  int16_t NumeroPuerto = 0;    // port number shown in the status texts
};
