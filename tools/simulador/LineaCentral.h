#pragma once

#include <string>

// One call line as the exchange prints it: exactly 80 characters (CR LF go
// after it on the wire). Positions, 1-based:
//   2-5 extension, 7 "|", 8-27 dialled number, 28 "|", 29-36 date dd/mm/yy,
//   38-42 time hh:mm, 43 "|", 44-53 " hh:mm:ss ", 54 "|", 55-75 trunk,
//   76-79 record code.
struct LineaCentral {
  static constexpr size_t kLargo = 80;

  std::string Anexo;    // 4 characters: "2105", " 110"
  std::string Discado;  // the dialled digits
  int Dia = 1, Mes = 1, Anio = 2024;
  int Hora = 0, Minuto = 0;
  int DuracionSegundos = 0;
  int Troncal = 1;
  int Codigo = 0;  // record counter of the exchange, 0-9999

  std::string Texto() const;

  // Lines the exchange prints between calls, which are not calls.
  static std::string Titulo(int dia, int mes, int anio, int hora, int minuto);
  static std::string Encabezado();
  static std::string Raya();
};
