#pragma once

#include <functional>

#include "llamadas/VentanaCaptura.h"

// Seconds since midnight, local time, with a fractional part.
using Reloj = std::function<double()>;
double SegundosDesdeMedianoche();

// Waits the given seconds while letting the window's pending events run,
// sleeping in the window's event wait rather than spinning. A wait that
// crosses midnight still ends on time. With 0 or less it returns at once.
void Esperar(float Segundos, VentanaCaptura& ventana, const Reloj& reloj = SegundosDesdeMedianoche);
