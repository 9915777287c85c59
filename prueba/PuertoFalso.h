#pragma once

#include <deque>
#include <string>

#include "llamadas/PuertoCaptura.h"

// A serial control for tests: each receive event takes the next queued text.
class PuertoFalso : public PuertoCaptura {
 public:
  int16_t Evento = kEventoRecibido;
  std::deque<std::string> Entradas;

  int16_t CommEvent() const override { return Evento; }
  std::string Input() override {
    if (Entradas.empty()) return {};
    std::string texto = std::move(Entradas.front());
    Entradas.pop_front();
    posicion_ = siguiente_;
    siguiente_ += texto.size();
    return texto;
  }
  uint64_t PosicionEntrada() const override { return posicion_; }
  bool EntradaPendiente() const override { return !Entradas.empty(); }
  void RetenerAvisos(bool retener) override { Retenidos = retener; }
  bool LineaPerdida() const override { return Perdida; }
  bool Retenidos = false;
  bool Perdida = false;
  // The next text follows a gap (the line lost and back), as the real port
  // tells it: one position skipped.
  void Saltar() { ++siguiente_; }

 private:
  uint64_t posicion_ = 0;
  uint64_t siguiente_ = 0;
};
