#include "simulador/GeneradorLlamadas.h"

#include <array>
#include <chrono>

namespace {

constexpr std::array kCodigosPais = {"1", "34", "56", "54", "49", "44", "55", "57"};
constexpr std::array kCodigosArea = {"1", "44", "54", "84", "74", "64"};

}  // namespace

GeneradorLlamadas::GeneradorLlamadas(uint32_t semilla, Inicio inicio)
    : azar_(semilla), reloj_(inicio) {}

int GeneradorLlamadas::Entre(int desde, int hasta) {
  return std::uniform_int_distribution<int>(desde, hasta)(azar_);
}

std::string GeneradorLlamadas::Digitos(int cuantos) {
  std::string digitos;
  for (int i = 0; i < cuantos; ++i) digitos += static_cast<char>('0' + Entre(0, 9));
  return digitos;
}

std::string GeneradorLlamadas::Numero(Tipo tipo) {
  switch (tipo) {
    case Tipo::Local:
      return std::to_string(Entre(2, 9)) + Digitos(6);
    case Tipo::Nacional: {
      const std::string area = kCodigosArea[Entre(0, kCodigosArea.size() - 1)];
      return "0" + area + std::to_string(Entre(2, 9)) + Digitos(area.size() == 1 ? 6 : 5);
    }
    case Tipo::Internacional:
      return "00" + std::string(kCodigosPais[Entre(0, kCodigosPais.size() - 1)]) +
             std::to_string(Entre(2, 9)) + Digitos(Entre(7, 9));
    case Tipo::GratuitoNacional:
      return (Entre(0, 3) == 0 ? "0801" : "0800") + Digitos(5);
  }
  return {};
}

void GeneradorLlamadas::Avanzar(int minutos) {
  using namespace std::chrono;
  const sys_days hoy = year_month_day{year{reloj_.Anio}, month{static_cast<unsigned>(reloj_.Mes)},
                                      day{static_cast<unsigned>(reloj_.Dia)}};
  const int total = reloj_.Hora * 60 + reloj_.Minuto + minutos;
  const year_month_day fecha{hoy + days{total / (24 * 60)}};
  reloj_.Anio = static_cast<int>(fecha.year());
  reloj_.Mes = static_cast<int>(static_cast<unsigned>(fecha.month()));
  reloj_.Dia = static_cast<int>(static_cast<unsigned>(fecha.day()));
  reloj_.Hora = total % (24 * 60) / 60;
  reloj_.Minuto = total % 60;
}

LineaCentral GeneradorLlamadas::Siguiente(int porcentajeCortas) {
  LineaCentral linea;
  const int habitacion = Entre(kPrimeraHabitacion, kUltimaHabitacion);
  // Some exchanges prefix room extensions with a 2, others pad with a blank.
  linea.Anexo = (Entre(0, 1) == 0 ? "2" : " ") + std::to_string(habitacion);
  const int suerte = Entre(1, 100);
  const Tipo tipo = suerte <= 45   ? Tipo::Local
                    : suerte <= 70 ? Tipo::Nacional
                    : suerte <= 90 ? Tipo::Internacional
                                   : Tipo::GratuitoNacional;
  linea.Discado = Numero(tipo);
  if (Entre(1, 100) <= porcentajeCortas) {
    linea.DuracionSegundos = Entre(5, 59);
  } else if (Entre(1, 50) == 1) {
    linea.DuracionSegundos = Entre(3600, 2 * 3600);
  } else {
    linea.DuracionSegundos = Entre(60, tipo == Tipo::Internacional ? 40 * 60 : 12 * 60);
  }
  Avanzar(Entre(0, 6));
  linea.Dia = reloj_.Dia;
  linea.Mes = reloj_.Mes;
  linea.Anio = reloj_.Anio;
  linea.Hora = reloj_.Hora;
  linea.Minuto = reloj_.Minuto;
  linea.Troncal = Entre(1, 8);
  linea.Codigo = ++contador_ % 10000;
  return linea;
}

std::string GeneradorLlamadas::Cabecera() {
  switch (Entre(0, 2)) {
    case 0:
      return LineaCentral::Titulo(reloj_.Dia, reloj_.Mes, reloj_.Anio, reloj_.Hora, reloj_.Minuto);
    case 1:
      return LineaCentral::Encabezado();
    default:
      return LineaCentral::Raya();
  }
}
