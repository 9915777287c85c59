#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "simulador/LineaCentral.h"

// Makes up the calls of a hotel day: rooms 101-120, local, national,
// international and toll-free numbers, the clock moving forward.
class GeneradorLlamadas {
 public:
  enum class Tipo { Local, Nacional, Internacional, GratuitoNacional };

  struct Inicio {
    int Dia = 1, Mes = 1, Anio = 2024, Hora = 8, Minuto = 0;
  };

  GeneradorLlamadas(uint32_t semilla, Inicio inicio);

  // porcentajeCortas: share of calls under one minute.
  LineaCentral Siguiente(int porcentajeCortas);
  // One of the exchange's heading lines, dated with the current clock.
  std::string Cabecera();

  static constexpr int kPrimeraHabitacion = 101;
  static constexpr int kUltimaHabitacion = 120;

 private:
  int Entre(int desde, int hasta);
  std::string Digitos(int cuantos);
  std::string Numero(Tipo tipo);
  void Avanzar(int minutos);

  std::mt19937 azar_;
  Inicio reloj_;
  int contador_ = 0;
};
