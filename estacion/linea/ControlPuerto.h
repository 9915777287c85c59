#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "captura/Fallo.h"
#include "estacion/ajustes/AjustesCaptura.h"
#include "llamadas/VentanaCaptura.h"
#include "resguardo/Bitacora.h"

class Comm;

// Opens and closes the exchange's serial port from the settings. The
// exchange may be reached over the network instead (section Central). A
// line lost while open is told on the status line (kept there while it
// lasts), on standard error and in the system log, and so is its return.
// Listening for the exchange needs the addresses it may come from: without
// them the port stays closed, saying why, and the station stays up for the
// dialog.
class ControlPuerto {
 public:
  static constexpr char kSufijoAbierto[] = "  : Abierto.";
  static constexpr char kSufijoCerrado[] = "    : Cerrado.";
  static constexpr char kSufijoNoAbierto[] = "  : Cerrado.";
  static constexpr char kSufijoNoEscucha[] = "  : Sin direccion permitida, no escucha.";

  ControlPuerto(VentanaCaptura& ventana, Comm& comm, Bitacora::Sumidero sumidero = {});

  // True when the port is open on return, or left closed on purpose until
  // the settings name the addresses a listening port lets in (NoEscucha).
  // A port that opens takes the burst's time-out from the settings too.
  bool AbrirPuerto(const AjustesCaptura& ajustes);
  // The burst's time-out from the settings; one that is not a number keeps
  // the value in force.
  void AplicarTiempoConexion(const AjustesCaptura& ajustes);
  bool NoEscucha() const { return noEscucha_; }
  void CerrarPuerto();
  // Comm1's device went away while open, or came back.
  void LineaPerdida(const captura::Fallo& motivo);
  void LineaRecuperada();
  // A connection refused by the listening port (already told at most once a
  // minute), or taken by it.
  void ConexionRechazada(const std::string& texto);
  void ConexionAceptada(const std::string& texto);

  // Its messages, also written to standard error.
  Bitacora& Registro() { return bitacora_; }
  void SumideroBitacora(Bitacora::Sumidero sumidero);

  // Shows "Puerto COM n" with the given suffix.
  void MostrarSufijo(std::string_view sufijo);

  // Told where the bytes thrown away at the opening end in the received stream.
  void AlDescartarEntrada(std::function<void(uint64_t fin)> aviso) {
    alDescartar_ = std::move(aviso);
  }

 private:
  bool AbrirRed(const AjustesCaptura& ajustes);
  bool NoEscuchar(const std::string& motivo);

  VentanaCaptura& ventana_;
  Comm& comm_;
  Bitacora bitacora_;
  std::function<void(uint64_t)> alDescartar_;
  bool noEscucha_ = false;
};
