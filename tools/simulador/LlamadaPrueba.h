#pragma once

#include <string>
#include <utility>

#include "simulador/LineaCentral.h"

// A call line for tests, made on 15/03/2024 at 10:20.
inline LineaCentral LlamadaPrueba(std::string anexo, std::string discado, int segundos,
                                  int codigo) {
  LineaCentral l;
  l.Anexo = std::move(anexo);
  l.Discado = std::move(discado);
  l.Dia = 15;
  l.Mes = 3;
  l.Anio = 2024;
  l.Hora = 10;
  l.Minuto = 20;
  l.DuracionSegundos = segundos;
  l.Codigo = codigo;
  return l;
}
