#include "simulador/LineaCentral.h"

#include <cstdio>
#include <stdexcept>

namespace {

// snprintf into a fixed line, so a field can never push the others.
template <class... Args>
std::string Formato(const char* formato, Args... args) {
  char linea[LineaCentral::kLargo + 1];
  const int n = std::snprintf(linea, sizeof linea, formato, args...);
  if (n != static_cast<int>(LineaCentral::kLargo)) {
    throw std::length_error("línea de central de largo " + std::to_string(n));
  }
  return std::string(linea, LineaCentral::kLargo);
}

}  // namespace

std::string LineaCentral::Texto() const {
  if (Anexo.size() != 4 || Discado.size() > 20) {
    throw std::length_error("anexo o número fuera de medida");
  }
  const int horas = DuracionSegundos / 3600;
  const int minutos = DuracionSegundos / 60 % 60;
  const int segundos = DuracionSegundos % 60;
  return Formato(" %4s |%-20s|%02d/%02d/%02d %02d:%02d| %02d:%02d:%02d | TK%02d%16s%04d ",
                 Anexo.c_str(), Discado.c_str(), Dia, Mes, Anio % 100, Hora, Minuto, horas % 100,
                 minutos, segundos, Troncal % 100, "", Codigo % 10000);
}

std::string LineaCentral::Titulo(int dia, int mes, int anio, int hora, int minuto) {
  return Formato("  CENTRAL TELEFONICA - REGISTRO DE LLAMADAS     %02d/%02d/%04d %02d:%02d%16s",
                 dia, mes, anio, hora, minuto, "");
}

std::string LineaCentral::Encabezado() {
  return Formato(" %4s |%-20s|%-14s|%-10s| %-20s%4s ", "ANEX", "NUMERO MARCADO", "FECHA    HORA",
                 "  DURAC.", "TRONCAL", "COD.");
}

std::string LineaCentral::Raya() { return std::string(kLargo, '-'); }
