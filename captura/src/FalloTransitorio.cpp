#include "captura/FalloTransitorio.h"

#include <array>
#include <string_view>

namespace captura {
namespace {

constexpr int32_t kClaseNoRegistrada = static_cast<int32_t>(0x80040111);
constexpr int32_t kSinMemoria = static_cast<int32_t>(0x8007000E);
constexpr int32_t kMemoriaInsuficiente = 7;

// SQLSTATEs, whole or by class, of a database that cannot serve now: lost or
// refused connections, login failures, time-outs (the driver's own, a
// statement cancelled by the server's time-out, an operation cancelled), a
// server shutting down or starting, exhausted resources, deadlocks, driver
// manager set-up.
constexpr std::array<std::string_view, 15> kEstados = {"08",    "28",    "HYT00", "HYT01", "57014",
                                                       "HY008", "57P01", "57P02", "57P03", "53",
                                                       "40001", "40P01", "HY001", "IM",    "S1T00"};

// SQLite reports everything as HY000: its messages tell a busy or
// unreachable file from a rejected statement.
constexpr std::array<std::string_view, 5> kMensajesSqlite = {
    "database is locked", "database table is locked", "disk I/O error", "database or disk is full",
    "unable to open database"};

bool EstadoTransitorio(std::string_view estado) {
  for (std::string_view e : kEstados) {
    if (estado.starts_with(e)) return true;
  }
  return false;
}

// The description is "SQLSTATE: message", records joined by " / ".
bool AlgunEstadoTransitorio(std::string_view descripcion) {
  static constexpr std::string_view kSeparador = " / ";
  for (std::size_t inicio = 0; inicio != std::string_view::npos;) {
    const std::string_view resto = descripcion.substr(inicio);
    if (resto.size() > 5 && resto[5] == ':' && EstadoTransitorio(resto.substr(0, 5))) return true;
    const auto sep = resto.find(kSeparador);
    inicio = sep == std::string_view::npos ? sep : inicio + sep + kSeparador.size();
  }
  return false;
}

}  // namespace

bool EsFalloTransitorio(const Fallo& fallo) {
  switch (fallo.Numero) {
    case kErrorConexion:
    case kErrorTiempo:
    case kNoSePuedeCrear:
    case kClaseNoRegistrada:
    case kSinMemoria:
    case kMemoriaInsuficiente:
      return true;
    default:
      break;
  }
  if (AlgunEstadoTransitorio(fallo.Descripcion)) return true;
  for (std::string_view m : kMensajesSqlite) {
    if (fallo.Descripcion.find(m) != std::string::npos) return true;
  }
  return false;
}

}  // namespace captura
