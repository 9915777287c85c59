#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "Conexion.h"

namespace captura {

// The process-wide kept connection. The program creates a new Telefono for
// every receive event, so the connection must outlive the objects; opening
// one per statement costs more than the statement on a server.
//
// The kept connection is never worse than a connection per call: any failure
// closes it (a cause fixed since, such as a file made writable, is seen by
// the next call), a lookup that finds it dead runs once more on a new one,
// and one left unused for a while is closed, so a restarted server or a
// replaced database file is picked up. The work runs on a thread of the
// connection's own: a server that stops answering holds the caller no longer
// than the query time-out, after which that thread and its connection are
// left to finish alone.
class ConexionCompartida {
 public:
  // The work gets the open connection. It may outlive the call (after a
  // time-out), so it holds what it uses, never references to the caller's.
  using Trabajo = std::function<Estado(Conexion&)>;

  enum class Repetir {
    No,  // a posting: never run twice
    Si,  // a lookup: run once more on a new connection when the kept one was dead
  };

  // The idle time after which the kept connection is closed, as the idle
  // time-out of ODBC connection pooling.
  static constexpr std::chrono::milliseconds kInactividadMaxima = std::chrono::seconds(60);

  // A grouped transaction is committed before a posting once it holds this
  // many rows or has been open this long: rows of a long receive event still
  // show within the station's latency, and other users of the tables are
  // not held longer.
  static constexpr int kFilasPorTransaccion = 200;
  static constexpr std::chrono::milliseconds kDuracionTransaccion = std::chrono::milliseconds(100);

  // Runs the work on the kept connection, opening it first when there is none.
  static Estado Usar(const std::string& cadena, const Trabajo& trabajo, Repetir repetir);

  // A lookup (run as Usar runs one) whose whole result comes back. Rows
  // that change rarely (the tariffs) are read once per grouped transaction on
  // a server database: the same text gets a copy of them until the
  // transaction ends, so a change shows within one transaction.
  static Resultado<std::unique_ptr<Recordset>> Consultar(const std::string& cadena,
                                                         const std::string& sql, bool fijas);

  // From now on the postings on a server database are grouped in one
  // transaction until Asegurar commits it (each statement waiting for the
  // disk on its own costs more than the line's rate). The transactions that
  // held rows and were lost so far: rolled back after a failure, or a commit
  // whose outcome is unknown.
  static uint64_t Agrupar();

  // Makes the rows posted so far durable, on the connection that posted them.
  static Estado Asegurar();

  // Drops the kept connection and the environment (the next call starts anew).
  static void Descartar();

  // Off: every call opens and closes a connection of its own.
  static void FijarReutilizar(bool reutilizar);
  // Tests: shorter idle and query time-outs.
  static void FijarTiempos(std::chrono::milliseconds inactividad,
                           std::chrono::milliseconds consulta);
};

}  // namespace captura
