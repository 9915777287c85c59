#pragma once

#include <chrono>
#include <string>

#include "llamadas/EstadoCaptura.h"

// What the receive handler needs from the station that shows it and owns its
// timers. The station implements it; tests implement it with plain members.
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
  // Starts the single-shot wait at a burst's start; once it is over the
  // owner calls ReceptorLlamadas::FinEspera.
  virtual void EsperarInicio(std::chrono::milliseconds espera) = 0;
};
