#pragma once

#include <cstdint>
#include <optional>

// What handling one call learned and did. Kept with a call that waits, so
// that re-posting it posts what the first attempt would have posted: the
// tariff and the reservation in force when the call was first handled, and
// only the rows not stored yet.
struct AvanceRegistro {
  enum class Paso : uint8_t {
    Pendiente = 0,  // not applied: posted without a look-up
    Hecho = 1,      // applied, or nothing to post
    Dudoso = 2,     // may have been applied: looked up before it is posted
  };
  struct Tarifa {
    float PrecioVenta = 0;
    float PrecioCosto = 0;
    int32_t ProductoID = 0;
    int32_t MonedaId = 0;
    bool operator==(const Tarifa&) const = default;
  };
  struct Habitacion {
    int32_t ReservaId = 0;
    int32_t HabitacionId = 0;
    bool operator==(const Habitacion&) const = default;
  };
  // Whose the charge is. A room looked up long after the call came may have
  // a new guest: the call is then stored without the reservation, and the
  // charge to the one found waits for the operator.
  enum class Reserva : uint8_t {
    AlDia = 0,       // looked up in time: the charge goes to it by itself
    AConfirmar = 1,  // looked up late: the charge waits
    Confirmada = 2,  // the operator posts the charge to it
    Descartada = 3,  // the operator dropped the charge
  };

  std::optional<Tarifa> Tarifa_;
  std::optional<Habitacion> Habitacion_;
  Paso Cargo = Paso::Pendiente;
  Paso Llamada = Paso::Pendiente;
  Reserva Reserva_ = Reserva::AlDia;

  // A call of which nothing is known: received before a crash, it may have
  // been posted whole or in part.
  static AvanceRegistro Desconocido() {
    AvanceRegistro a;
    a.Cargo = a.Llamada = Paso::Dudoso;
    return a;
  }

  bool operator==(const AvanceRegistro&) const = default;
};
