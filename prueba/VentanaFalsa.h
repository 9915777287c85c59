#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "llamadas/VentanaCaptura.h"

// A station for tests: logs what the receive handler shows and switches,
// and holds the wait at a burst's start until the test lets it run out.
class VentanaFalsa : public VentanaCaptura {
 public:
  EstadoCaptura estado;
  std::vector<std::string> Registro;  // "estado:...", "timer:0/1", "llegada:...", "eventos"
  std::string Llegada;
  bool TimerCheck = false;
  double Esperado = 0;                              // seconds of waits run out
  std::optional<std::chrono::milliseconds> Espera;  // a wait under way
  std::function<void()> AlProcesar;                 // an event delivered during the wait
  // Told of each wait begun: a test with an event loop ends it with a timer.
  std::function<void(std::chrono::milliseconds)> AlEsperar;

  EstadoCaptura& Estado() override { return estado; }
  void MostrarEstado(const std::string& texto) override { Registro.push_back("estado:" + texto); }
  void HabilitarTimerCheck(bool habilitado) override {
    TimerCheck = habilitado;
    Registro.push_back(habilitado ? "timer:1" : "timer:0");
  }
  void MostrarLlegada(const std::string& texto) override {
    Llegada = texto;
    Registro.push_back("llegada:" + texto);
  }
  void EsperarInicio(std::chrono::milliseconds espera) override {
    Registro.push_back("eventos");
    Espera = espera;
    if (AlEsperar) AlEsperar(espera);
  }
  // The wait under way runs out, the event delivered meanwhile first. False
  // when none is under way.
  bool AcabarEspera() {
    if (!Espera) return false;
    Esperado += std::chrono::duration<double>(*std::exchange(Espera, std::nullopt)).count();
    if (AlProcesar) std::exchange(AlProcesar, nullptr)();
    return true;
  }
};
