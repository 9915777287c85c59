#include "llamadas/Esperar.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr float kSegundosDia = 86400;

std::chrono::milliseconds Restante(float segundos) {
  const auto ms = static_cast<long>(std::ceil(segundos * 1000));
  return std::chrono::milliseconds(ms < 1 ? 1 : ms);
}

}  // namespace

double SegundosDesdeMedianoche() {
  using std::chrono::system_clock;
  const auto ahora = system_clock::now();
  const std::time_t segundo = system_clock::to_time_t(ahora);
  std::tm local{};
  localtime_r(&segundo, &local);
  const double fraccion =
      std::chrono::duration<double>(ahora - system_clock::from_time_t(segundo)).count();
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraccion;
}

void Esperar(float Segundos, VentanaCaptura& ventana, const Reloj& reloj) {
  float Inicio = static_cast<float>(reloj());
  for (;;) {
    const auto pasado = static_cast<float>(reloj() - Inicio);
    if (!(pasado < Segundos)) return;
    ventana.ProcesarEventos(Restante(Segundos - pasado));
    // The clock starts again at midnight.
    if (static_cast<float>(reloj()) < Inicio) Inicio -= kSegundosDia;
  }
}
