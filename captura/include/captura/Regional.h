#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "captura/_Telefono.h"

namespace captura {

// Dates, times and their text forms by the process locale (LC_TIME), the
// machine's regional settings.
class Regional {
 public:
  enum class Orden { DiaMesAnio, MesDiaAnio, AnioMesDia };

  // Day/month/year order and separator of the locale's short date.
  static Orden OrdenFecha();
  static char SeparadorFecha();

  // Three numbers separated by "/", "-" or "." in the locale's order; a
  // two-digit year lies in 1930-2029; an impossible date gives nothing.
  static std::optional<Fecha> LeerFecha(std::string_view texto);
  // The same in the given order, whatever the locale's.
  static std::optional<Fecha> LeerFecha(std::string_view texto, Orden orden);

  // "hh:mm" or "hh:mm:ss" (hour 0-23); anything else gives nothing.
  static std::optional<Fecha> LeerHora(std::string_view texto);

  // The locale's short date with a four-digit year, then " hh:mm:ss" when
  // the value has a time of day; the time alone when the date part is zero.
  static std::string EscribirFecha(Fecha valor);

  // "hh:mm" of the value's time of day.
  static std::string EscribirHora(Fecha valor);

  // Calendar conversions of the automation date.
  static std::optional<Fecha> DesdeCalendario(int anio, int mes, int dia);
  static Fecha DesdeReloj(int hora, int minuto, int segundo);
};

}  // namespace captura
