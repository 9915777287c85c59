#include "estacion/nucleo/VigiaSilencio.h"

VigiaSilencio::VigiaSilencio(Reloj reloj) : reloj_(std::move(reloj)), ultimo_(reloj_()) {}

void VigiaSilencio::Limite(std::chrono::minutes limite) {
  limite_ = limite;
  if (!Activa()) alarma_ = false;
}

void VigiaSilencio::Reiniciar() {
  ultimo_ = reloj_();
  alarma_ = false;
}

bool VigiaSilencio::Dato() {
  ultimo_ = reloj_();
  const bool terminada = alarma_;
  alarma_ = false;
  return terminada;
}

bool VigiaSilencio::Revisar() {
  if (!Activa() || alarma_ || reloj_() - ultimo_ < limite_) return false;
  alarma_ = true;
  return true;
}

std::chrono::minutes VigiaSilencio::Silencio() const {
  return std::chrono::duration_cast<std::chrono::minutes>(reloj_() - ultimo_);
}
