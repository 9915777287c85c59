#pragma once

#include <chrono>
#include <string>

#include "llamadas/EstadoCaptura.h"

// What the receive handler needs from the main window. The window implements
// it; tests implement it with plain members.
class VentanaCaptura {
 public:
  virtual ~VentanaCaptura() = default;

  virtual EstadoCaptura& Estado() = 0;
  // Sets the status line and repaints it at once.
  virtual void MostrarEstado(const std::string& texto) = 0;
  // TimerCheck.Enabled.
  virtual void HabilitarTimerCheck(bool habilitado) = 0;
  // txtLlegada.Text; the text holds one character per received byte (ISO-8859-1).
  virtual void MostrarLlegada(const std::string& texto) = 0;
  // Lets the window's pending events run; when none is pending, sleeps up to
  // esperaMaxima for one to arrive.
  virtual void ProcesarEventos(std::chrono::milliseconds esperaMaxima) = 0;
};
