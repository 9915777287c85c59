#pragma once

#include <chrono>
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
  // What a lookup reads.
  enum class Lectura {
    Propias,  // the station's own rows: the rows held back are sent first
    Ajenas,   // rows the station never writes (tariffs, rooms): see Consultar
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

  // Posts one row on the kept connection, opening it first when there is
  // none. In a server's grouped transaction, rows after its first are held
  // back and sent together (one round trip for many rows) when it commits or
  // a lookup needs them; a failure then loses the whole transaction, as a
  // failed commit does, and rows go one at a time until a transaction
  // commits again, so a row the server rejects is known by its line.
  static Estado Postear(const std::string& cadena, std::string sql);

  // A lookup, with its whole result. A lookup that finds the kept connection
  // dead runs once more on a new one. Rows the station never writes are read
  // once per grouped transaction on a server database: the same text gets a
  // copy of them until the transaction ends. The transaction lasts one
  // receive event at most, so every answer was read after the event's lines
  // came in, and a change shows in the next transaction.
  static Resultado<std::unique_ptr<Recordset>> Consultar(const std::string& cadena,
                                                         const std::string& sql, Lectura lectura);

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
