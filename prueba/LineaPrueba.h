#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

// An 80-character exchange line as the exchange prints a call:
// " aaaa |discado|dd/mm/aa hh:mm|hhh:mm:ss|" padded, the code at 76-79.
inline std::string LineaPrueba(const std::string& anexo, const std::string& discado,
                               const std::string& fecha = "25/12/23",
                               const std::string& hora = "14:30",
                               const std::string& tiempo = "000:05:10",
                               const std::string& codigo = "0042") {
  std::string linea = " " + anexo + " |" + discado + "|" + fecha + " " + hora + "|" + tiempo + "|";
  if (linea.size() > 75 || codigo.size() > 4) throw std::length_error("linea de prueba larga");
  linea.resize(75, ' ');
  linea += codigo;
  linea.resize(80, ' ');
  return linea;
}
