#include "captura/Regional.h"

#include <langinfo.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace captura {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long DiasDesdeCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

struct Civil {
  long anio;
  unsigned mes;
  unsigned dia;
};

Civil CivilDesdeDias(long z) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long y = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2), m, d};
}

const long kDiasEpocaAutomatizacion = DiasDesdeCivil(1899, 12, 30);

unsigned DiasDelMes(long anio, unsigned mes) {
  static constexpr std::array<unsigned, 12> kDias = {31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
  const bool bisiesto = (anio % 4 == 0 && anio % 100 != 0) || anio % 400 == 0;
  return mes == 2 && bisiesto ? 29 : kDias[mes - 1];
}

std::string_view SinBlancos(std::string_view t) {
  const auto i = t.find_first_not_of(' ');
  if (i == std::string_view::npos) return {};
  return t.substr(i, t.find_last_not_of(' ') - i + 1);
}

// Reads a run of 1..max digits at the front of t, advancing it.
std::optional<int> LeerDigitos(std::string_view& t, std::size_t max, std::size_t* cuantos) {
  std::size_t n = 0;
  while (n < t.size() && n < max && t[n] >= '0' && t[n] <= '9') ++n;
  if (n == 0) return std::nullopt;
  int v = 0;
  std::from_chars(t.data(), t.data() + n, v);
  t.remove_prefix(n);
  if (cuantos) *cuantos = n;
  return v;
}

bool EsSeparadorFecha(char c) { return c == '/' || c == '-' || c == '.'; }

// Day part and time of day (in whole seconds) of an automation date.
void Partir(Fecha valor, long& dias, long& segundos) {
  dias = static_cast<long>(std::trunc(valor));
  segundos = std::lround(std::fabs(valor - static_cast<double>(dias)) * 86400.0);
  if (segundos >= 86400) {
    segundos -= 86400;
    dias += valor < 0 ? -1 : 1;
  }
}

}  // namespace

Regional::Orden Regional::OrdenFecha() {
  const char* fmt = nl_langinfo(D_FMT);
  if (std::strstr(fmt, "%D")) return Orden::MesDiaAnio;
  if (std::strstr(fmt, "%F")) return Orden::AnioMesDia;
  const char* d = std::strpbrk(fmt, "de");
  const char* m = std::strchr(fmt, 'm');
  const char* y = std::strpbrk(fmt, "yY");
  if (!d || !m || !y) return Orden::MesDiaAnio;
  if (y < m && y < d) return Orden::AnioMesDia;
  return d < m ? Orden::DiaMesAnio : Orden::MesDiaAnio;
}

char Regional::SeparadorFecha() {
  const char* fmt = nl_langinfo(D_FMT);
  if (std::strstr(fmt, "%F")) return '-';
  for (const char* p = fmt; *p; ++p) {
    if (*p == '%') {
      if (*++p == '\0') break;
      continue;
    }
    if (*p != ' ') return *p;
  }
  return '/';
}

std::optional<Fecha> Regional::DesdeCalendario(int anio, int mes, int dia) {
  if (mes < 1 || mes > 12 || dia < 1 || anio < 100 || anio > 9999) return std::nullopt;
  if (static_cast<unsigned>(dia) > DiasDelMes(anio, static_cast<unsigned>(mes))) {
    return std::nullopt;
  }
  return static_cast<Fecha>(
      DiasDesdeCivil(anio, static_cast<unsigned>(mes), static_cast<unsigned>(dia)) -
      kDiasEpocaAutomatizacion);
}

Fecha Regional::DesdeReloj(int hora, int minuto, int segundo) {
  return (hora * 3600.0 + minuto * 60.0 + segundo) / 86400.0;
}

std::optional<Fecha> Regional::LeerFecha(std::string_view texto) {
  return LeerFecha(texto, OrdenFecha());
}

std::optional<Fecha> Regional::LeerFecha(std::string_view texto, Orden orden) {
  std::string_view t = SinBlancos(texto);
  std::array<int, 3> n{};
  std::size_t digitosAnio = 0;
  std::array<std::size_t, 3> digitos{};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (t.empty() || !EsSeparadorFecha(t.front())) return std::nullopt;
      t.remove_prefix(1);
    }
    auto v = LeerDigitos(t, 4, &digitos[static_cast<std::size_t>(i)]);
    if (!v) return std::nullopt;
    n[static_cast<std::size_t>(i)] = *v;
  }
  if (!t.empty()) return std::nullopt;
  int dia = 0, mes = 0, anio = 0;
  switch (orden) {
    case Orden::DiaMesAnio:
      dia = n[0], mes = n[1], anio = n[2], digitosAnio = digitos[2];
      break;
    case Orden::MesDiaAnio:
      mes = n[0], dia = n[1], anio = n[2], digitosAnio = digitos[2];
      break;
    case Orden::AnioMesDia:
      anio = n[0], mes = n[1], dia = n[2], digitosAnio = digitos[0];
      break;
  }
  if (digitosAnio <= 2) anio += anio < 30 ? 2000 : 1900;
  return DesdeCalendario(anio, mes, dia);
}

std::optional<Fecha> Regional::LeerHora(std::string_view texto) {
  std::string_view t = SinBlancos(texto);
  auto h = LeerDigitos(t, 2, nullptr);
  if (!h || t.empty() || t.front() != ':') return std::nullopt;
  t.remove_prefix(1);
  auto m = LeerDigitos(t, 2, nullptr);
  if (!m) return std::nullopt;
  int s = 0;
  if (!t.empty()) {
    if (t.front() != ':') return std::nullopt;
    t.remove_prefix(1);
    auto seg = LeerDigitos(t, 2, nullptr);
    if (!seg || !t.empty()) return std::nullopt;
    s = *seg;
  }
  if (*h > 23 || *m > 59 || s > 59) return std::nullopt;
  return DesdeReloj(*h, *m, s);
}

std::string Regional::EscribirFecha(Fecha valor) {
  long dias = 0, segundos = 0;
  Partir(valor, dias, segundos);
  char reloj[32];
  std::snprintf(reloj, sizeof reloj, "%02ld:%02ld:%02ld", segundos / 3600, segundos / 60 % 60,
                segundos % 60);
  if (dias == 0) return reloj;
  const Civil c = CivilDesdeDias(dias + kDiasEpocaAutomatizacion);
  const char s = SeparadorFecha();
  char buf[48];
  switch (OrdenFecha()) {
    case Orden::DiaMesAnio:
      std::snprintf(buf, sizeof buf, "%02u%c%02u%c%04ld", c.dia, s, c.mes, s, c.anio);
      break;
    case Orden::MesDiaAnio:
      std::snprintf(buf, sizeof buf, "%02u%c%02u%c%04ld", c.mes, s, c.dia, s, c.anio);
      break;
    case Orden::AnioMesDia:
      std::snprintf(buf, sizeof buf, "%04ld%c%02u%c%02u", c.anio, s, c.mes, s, c.dia);
      break;
  }
  std::string texto = buf;
  if (segundos != 0) texto += std::string(" ") + reloj;
  return texto;
}

std::string Regional::EscribirHora(Fecha valor) {
  long dias = 0, segundos = 0;
  Partir(valor, dias, segundos);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02ld:%02ld", segundos / 3600, segundos / 60 % 60);
  return buf;
}

}  // namespace captura
