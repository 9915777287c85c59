#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// The exchange on the network, listening for the station to connect (on
// 127.0.0.1 unless told) or connecting to the station. One connection at a
// time: a new one replaces the old. Every wait also ends when the descriptor parar (if any) becomes
// readable; a negative time limit waits for ever.
class CentralTcp {
 public:
  // Port 0 takes any free port. Throws std::system_error when it cannot listen.
  explicit CentralTcp(uint16_t puerto = 0, const std::string& direccion = "127.0.0.1",
                      int parar = -1);
  ~CentralTcp();
  CentralTcp(const CentralTcp&) = delete;
  CentralTcp& operator=(const CentralTcp&) = delete;

  uint16_t Puerto() const { return puerto_; }
  // A port of 127.0.0.1 free at the time of asking, for a station to listen on.
  static uint16_t PuertoLibre() { return CentralTcp().Puerto(); }

  // Waits for the station to connect. False when stopped or timed out.
  bool EsperarConexion(std::chrono::milliseconds limite);
  // The other way round: connects to the station listening there, trying
  // again until it answers. False when stopped or timed out.
  bool Conectar(const std::string& direccion, uint16_t puerto, std::chrono::milliseconds limite);
  // True when the station ended the connection (no data is expected from it).
  bool Cerrada(std::chrono::milliseconds limite);
  // Writes every byte. False with no connection or when it broke.
  bool Enviar(std::string_view bytes);
  // Ends the connection, as an exchange restarting does.
  void Cortar();

 private:
  int escucha_ = -1;
  int conexion_ = -1;
  int parar_ = -1;
  uint16_t puerto_ = 0;
};
