#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "captura/Regional.h"
#include "captura/_Telefono.h"

// One call cut from an 80-character exchange line, with the values derived
// from its texts. Every field starts empty (numbers 0); a field whose reading
// fails keeps that value, never one from another line.
struct RegistroLlamada {
  static constexpr std::size_t kLargoLinea = 80;

  std::string Anexo;
  std::string Discado;
  std::string Fecha;
  std::string Hora;
  std::string Tiempo;
  std::string Codigo;

  captura::Fecha FechaLlamada = 0;
  captura::Fecha HoraLlamada = 0;
  int16_t HorasEnMinutos = 0;
  int16_t MinutosLlamada = 0;
  int16_t SegundosLlamada = 0;
  int16_t ControlTiempo = 0;
  // The date text is not blank, yet no date in the order in force.
  bool FechaIlegible = false;

  // Cuts and derives every field of the line (positions count bytes); the
  // date in the exchange's order, the locale's when not given.
  static RegistroLlamada Leer(std::string_view linea,
                              std::optional<captura::Regional::Orden> ordenFecha = std::nullopt);

  // A call has an extension, a dialled number and a readable duration.
  bool EsValido() const;

  // The number the text begins with, blanks skipped; 0 when there is none.
  // Nothing when it does not fit 16 bits.
  static std::optional<int16_t> LeerLenient(std::string_view texto);
  // A text that is a number apart from surrounding blanks; nothing otherwise.
  static std::optional<int16_t> LeerEstricto(std::string_view texto);

 private:
  void LeerCampos(std::string_view linea);
  void Derivar(std::optional<captura::Regional::Orden> ordenFecha);
};
