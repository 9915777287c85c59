#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "llamadas/VentanaCaptura.h"

// A window for tests: logs what the receive handler shows and switches,
// and owns a clock (seconds since midnight) that advances only while the
// handler lets events run, by at most one 100 ms step per call.
class VentanaFalsa : public VentanaCaptura {
 public:
  static constexpr double kPaso = 0.1;

  EstadoCaptura estado;
  std::vector<std::string> Registro;  // "estado:...", "timer:0/1", "llegada:...", "eventos"
  std::string Llegada;
  bool TimerCheck = false;
  double Reloj = 36000;
  double Esperado = 0;               // seconds spent letting events run
  std::function<void()> AlProcesar;  // an event delivered during the wait

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
  void ProcesarEventos(std::chrono::milliseconds esperaMaxima) override {
    Registro.push_back("eventos");
    if (AlProcesar) std::exchange(AlProcesar, nullptr)();
    const double segundos = std::min(std::chrono::duration<double>(esperaMaxima).count(), kPaso);
    Esperado += segundos;
    Reloj = std::fmod(Reloj + segundos, 86400.0);
  }
};
