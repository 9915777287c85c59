#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "llamadas/VentanaCaptura.h"

class Comm;

// Opens and closes the exchange's serial port from the settings and ends a
// burst once the line has been quiet for the configured number of ticks.
class ControlPuerto {
 public:
  static constexpr char kSufijoAbierto[] = "  : Abierto.";
  static constexpr char kSufijoCerrado[] = "    : Cerrado.";
  static constexpr char kSufijoNoAbierto[] = "  : Cerrado.";
  static constexpr char kSufijoActivo[] = "  : Activo.";
  static constexpr char kSufijoEsperando[] = "  : Esperando el tiempo de termino del envio.";
  static constexpr char kSufijoFinRafaga[] = "    : Inactivo.";

  ControlPuerto(VentanaCaptura& ventana, Comm& comm);

  // True when the port is open on return.
  bool AbrirPuerto();
  void CerrarPuerto();
  // The one-second tick of TimerCheck.
  void TimerCheck_Timer();

  // Shows "Puerto COM n" with the given suffix.
  void MostrarSufijo(std::string_view sufijo);

  // Told where the bytes thrown away at the opening end in the received stream.
  void AlDescartarEntrada(std::function<void(uint64_t fin)> aviso) {
    alDescartar_ = std::move(aviso);
  }

 private:
  std::string TextoAjustesLinea();

  VentanaCaptura& ventana_;
  Comm& comm_;
  std::function<void(uint64_t)> alDescartar_;
};
