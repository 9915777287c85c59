#pragma once

#include <termios.h>

#include <string>

#include "captura/Resultado.h"

// The line settings text ("9600,n,8,1": speed, parity letter, data bits,
// stop bits) translated into what termios needs.
class AjustesLinea {
 public:
  // Fails on an empty field, an unknown letter, a text that is not a number
  // or a value no serial device here can take.
  static captura::Resultado<AjustesLinea> Leer(const std::string& texto);

  // Puts the settings into t, which is left in raw mode (no echo, no
  // translation of CR or LF, no flow control).
  void Aplicar(termios& t) const;
  // True when the device kept every setting that Aplicar asked for.
  bool Conservados(const termios& t) const;

  speed_t Velocidad() const { return velocidad_; }
  tcflag_t Control() const { return control_; }

 private:
  AjustesLinea(speed_t velocidad, tcflag_t control) : velocidad_(velocidad), control_(control) {}

  speed_t velocidad_;
  tcflag_t control_;  // CSIZE, PARENB, PARODD, CMSPAR and CSTOPB bits
};
