#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "captura/Regional.h"

// Every key of CAPTURA.INI, read from the file in one place: each as its
// text (trailing blanks dropped, empty when missing), and the values the
// station takes from them with their defaults.
struct AjustesCaptura {
  static constexpr char kSeccionConfigura[] = "configura";
  static constexpr char kSeccionRutas[] = "Rutas";
  static constexpr char kSeccionApp[] = "App";
  // The exchange on the network, and its own habits whichever the source.
  static constexpr char kSeccionCentral[] = "Central";

  // [configura]: the serial line.
  std::string Puerto;      // puerto
  std::string Velocidad;   // bseg
  std::string BitsDatos;   // bdat
  std::string Paridad;     // pari
  std::string BitsParada;  // bpar
  // [Rutas]
  std::string RutaFile;  // File
  // [App]
  std::string TiempoConexion;  // TimeConexion
  std::string MinutosCargo;    // MinutosCargoAutomatico
  // [Central]
  std::string Origen;
  std::string Modo;
  std::string Direccion;
  std::string PuertoTcp;  // Puerto
  std::string Permitida;
  std::string OrdenFecha;
  std::string MinutosSinDatos;

  struct Clave {
    std::string_view Seccion;
    std::string_view Nombre;
    std::string AjustesCaptura::*Valor;
  };
  // The file's keys, in the order the README lists them.
  static const std::array<Clave, 15> kClaves;
  // The key that holds a member.
  static const Clave& ClaveDe(std::string AjustesCaptura::*valor);

  // The file's values; every key empty when the file cannot be read.
  static AjustesCaptura Leer(const std::string& archivo);

  // The serial port's number; nothing when not a number.
  std::optional<int16_t> NumeroPuerto() const;
  // "bseg,p,bdat,bpar": the parity by its first letter in lower case.
  std::string TextoLinea() const;
  // Quiet ticks after which a burst is over; nothing when not a number.
  std::optional<int16_t> TicksFinRafaga() const;
  bool EnRed() const;
  // Nothing for the machine's regional order.
  std::optional<captura::Regional::Orden> OrdenFechaCentral() const;
  // A text that is neither empty nor one of the orders.
  bool OrdenFechaInvalida() const;

  // A key in minutes: the default when empty, and when not a number of minutes.
  struct Minutos {
    std::chrono::minutes Valor;
    bool Invalido = false;  // not empty, yet no number of minutes
  };
  Minutos CargoAutomatico() const;
  Minutos SinDatos() const;
};
