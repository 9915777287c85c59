#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"
#include "resguardo/LimiteAvisos.h"

// The station listening on the network for the exchange to connect, only
// from the addresses let in. One exchange connection at a time: a new one
// let in takes the place of the current one (an exchange that restarted
// leaves its old connection half-open). A refused connection is told at most
// once a minute with the count meanwhile, so a peer connecting in a loop
// cannot flood the log; each one taken is told.
class ServidorTcp {
 public:
  enum class Suceso { Aceptada, Rechazada };
  using Aviso = std::function<void(Suceso suceso, const std::string& texto)>;
  // Every address; chosen on purpose, for an isolated network.
  static constexpr char kCualquiera[] = "*";

  // The addresses let in, from the text of the setting: one address,
  // several separated by commas, or "*" for any (then nothing). Fails,
  // saying why, when it names none or something that is no IP address.
  using Permitidas = std::optional<std::vector<std::string>>;
  static captura::Resultado<Permitidas> LeerPermitidas(const std::string& texto);

  // Listens on the address (every one, IPv4 and IPv6, when empty) and port;
  // fails when it cannot.
  static captura::Resultado<ServidorTcp> Escuchar(const std::string& direccion, uint16_t puerto,
                                                  Permitidas permitidas);
  // "address:port" as the status line names the source ("*" for every address).
  static std::string NombreDe(const std::string& direccion, uint16_t puerto);

  // Waits for an exchange to connect from an address let in, refusing the
  // others; fails when the descriptor parar becomes readable.
  captura::Resultado<Descriptor> Aceptar(int parar);
  // While an exchange is connected: the first connection waiting from an
  // address let in, to take its place; the others before it are refused.
  std::optional<Descriptor> Relevo();
  int Escucha() const { return escucha_.fd(); }

  std::string Nombre() const { return nombre_; }
  // Told on the thread that accepts.
  void AlAvisar(Aviso aviso) { aviso_ = std::move(aviso); }

 private:
  ServidorTcp(Descriptor escucha, std::string nombre, Permitidas permitidas);
  // The next connection waiting, with its peer's address as text.
  captura::Resultado<Descriptor> Siguiente(std::string& direccion);
  // Keep-alive on a connection let in, and told; false for any other.
  bool Admitir(const Descriptor& conexion, const std::string& direccion);
  void Avisar(Suceso suceso, const std::string& texto);

  Descriptor escucha_;
  std::string nombre_;
  Permitidas permitidas_;
  Aviso aviso_;
  LimiteAvisos rechazos_;
};
