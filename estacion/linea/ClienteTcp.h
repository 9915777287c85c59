#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"

// The exchange listening on the network: the station connects to it. The
// connection has TCP keep-alive on, so a peer that died without closing it
// is noticed within about a minute and a half.
class ClienteTcp {
 public:
  static constexpr std::chrono::seconds kLimiteConexion{10};

  ClienteTcp(std::string host, uint16_t puerto) : host_(std::move(host)), puerto_(puerto) {}

  // A connected, non-blocking socket. Gives up after kLimiteConexion, or
  // when the descriptor parar (if any) becomes readable.
  captura::Resultado<Descriptor> Conectar(int parar = -1) const;

  // Keep-alive on a connected socket: a dead peer is noticed in about 90 s.
  static void MantenerViva(int fd);

  // "host:port", as the status line names the source.
  std::string Nombre() const { return host_ + ":" + std::to_string(puerto_); }

 private:
  captura::Resultado<Descriptor> ConectarA(const struct addrinfo& destino, int parar) const;

  std::string host_;
  uint16_t puerto_;
};
