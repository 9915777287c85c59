#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "Conexion.h"

namespace captura {

// One database connection served by a thread of its own. The caller waits
// for each piece of work only up to a limit: a driver blocked on a server
// that stopped answering (no driver here times out a peer that is alive but
// silent) then keeps the thread, which closes its connection and ends once
// the driver returns. An embedded database file has no server: once open,
// its work runs on the caller's thread.
class HiloConexion {
 public:
  using Trabajo = std::function<Estado(Conexion&)>;

  HiloConexion(std::shared_ptr<ManejadorEntorno> entorno, std::string cadena);
  ~HiloConexion();
  HiloConexion(const HiloConexion&) = delete;
  HiloConexion& operator=(const HiloConexion&) = delete;

  // Runs the work on the thread, opening the connection first when there is
  // none. Nothing when the limit passed first: the thread is then left alone
  // and this object must not be used again.
  std::optional<Estado> Ejecutar(const Trabajo& trabajo, std::chrono::milliseconds limite);

  bool Abierta() const;
  bool Rota() const;
  const std::string& Cadena() const { return cadena_; }

  // Threads left to a driver that has not returned yet.
  static int Abandonados();

 private:
  struct Turno;
  static void Servir(std::shared_ptr<Turno> turno);

  std::string cadena_;
  std::shared_ptr<Turno> turno_;
  std::thread hilo_;
};

}  // namespace captura
