#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"

// The station listening on the network for the exchange to connect. One
// exchange connection at a time; optionally only from one address. A
// connection refused (another exchange is connected, or an address not
// allowed) is told, at most once a minute with the count meanwhile, so a
// peer connecting in a loop cannot flood the log.
class ServidorTcp {
 public:
  using Aviso = std::function<void(const std::string& texto)>;
  static constexpr std::chrono::seconds kIntervaloAvisos{60};

  // Listens on the address (every one when empty) and port; fails when it
  // cannot. permitida, when not empty, is the only address let in.
  static captura::Resultado<ServidorTcp> Escuchar(const std::string& direccion, uint16_t puerto,
                                                  const std::string& permitida);

  // Waits for an exchange to connect from an address let in, refusing the
  // others; fails when the descriptor parar becomes readable.
  captura::Resultado<Descriptor> Aceptar(int parar);
  // While an exchange is connected: refuses every connection waiting.
  void Rechazar();
  int Escucha() const { return escucha_.fd(); }

  // "address:port" as the status line names the source.
  std::string Nombre() const { return nombre_; }
  void AlRechazar(Aviso aviso) { aviso_ = std::move(aviso); }

 private:
  ServidorTcp(Descriptor escucha, std::string nombre, std::string permitida);
  // The next connection waiting, with its peer's address as text.
  captura::Resultado<Descriptor> Siguiente(std::string& direccion);
  void Avisar(const std::string& texto);

  Descriptor escucha_;
  std::string nombre_;
  std::string permitida_;
  Aviso aviso_;
  std::chrono::steady_clock::time_point ultimoAviso_{};
  unsigned callados_ = 0;  // refusals not told yet
};
