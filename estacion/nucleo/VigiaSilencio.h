#pragma once

#include <chrono>
#include <functional>

// Watches the exchange's line for silence: no byte for the set number of
// minutes counts as trouble (a cable pulled, an exchange that stopped
// printing) until the next byte arrives. Needs no display; the caller's
// timer calls Revisar.
class VigiaSilencio {
 public:
  using Instante = std::chrono::steady_clock::time_point;
  using Reloj = std::function<Instante()>;

  explicit VigiaSilencio(Reloj reloj = std::chrono::steady_clock::now);

  // 0 or less switches the watch off (and clears an alarm). The silence is
  // counted from now when nothing arrived yet.
  void Limite(std::chrono::minutes limite);
  std::chrono::minutes Limite() const { return limite_; }
  bool Activa() const { return limite_.count() > 0; }

  // Counting starts again (the port has just opened).
  void Reiniciar();
  // A byte arrived. True when this ends an alarm.
  bool Dato();
  // True when the silence has just become an alarm.
  bool Revisar();

  bool EnAlarma() const { return alarma_; }
  // Whole minutes since the last byte (or the start of the count).
  std::chrono::minutes Silencio() const;

 private:
  Reloj reloj_;
  std::chrono::minutes limite_{0};
  Instante ultimo_;
  bool alarma_ = false;
};
