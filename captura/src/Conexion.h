#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Manejador.h"
#include "captura/Recordset.h"
#include "captura/Resultado.h"

namespace captura {

// One open ODBC connection running one statement at a time, in autocommit
// unless a transaction was begun.
class Conexion {
 public:
  static constexpr SQLULEN kTiempoLogin = 15;     // seconds
  static constexpr SQLULEN kTiempoConsulta = 30;  // seconds

  static Resultado<std::unique_ptr<Conexion>> Abrir(SQLHENV entorno, const std::string& cadena);
  Conexion(ManejadorConexion dbc, bool enlazar, bool sqlite)
      : dbc_(std::move(dbc)), enlazar_(enlazar), sqlite_(sqlite) {}
  // A transaction still open is rolled back: a connection dropped after a
  // failure applies nothing of it.
  ~Conexion();
  Conexion(const Conexion&) = delete;
  Conexion& operator=(const Conexion&) = delete;

  // Runs a select and fetches its whole result: the row set needs no
  // connection afterwards.
  Resultado<std::unique_ptr<Recordset>> Consultar(const std::string& sql);

  // Runs one statement that returns no rows.
  Estado Ejecutar(const std::string& sql);
  // Runs statements that return no rows, sent together (one round trip on a
  // server); the first failure stops them. None: nothing is sent.
  Estado Ejecutar(const std::vector<std::string>& sentencias);

  // Makes what was committed durable: an SQLite file in WAL mode commits
  // without waiting for the disk (synchronous NORMAL) until a checkpoint,
  // which flushes the log first. Other engines commit durably already.
  // Vaciar also empties the log file: a connection about to close leaves no
  // log behind for a file put in place of its own (SQLite does not write
  // back on close a file that was moved, and the next file at that path
  // would take the log as its own).
  Estado Asegurar(bool vaciar = false);

  // The statements from here on form one transaction, until Terminar.
  Estado Iniciar();
  // Commits (or rolls back) the open transaction; autocommit again after.
  Estado Terminar(bool confirmar);
  bool EnTransaccion() const noexcept { return transaccion_; }

  // Sees every statement text just before it goes to the driver (tests).
  using Observador = void (*)(const std::string& sql);
  static void Observar(Observador observador) noexcept;

  // An embedded database file: it answers or fails within its own busy
  // time-out, and has no server that can stop answering.
  bool Embebida() const noexcept { return sqlite_; }

  // The driver reported the connection itself as broken: it must not be
  // used again.
  bool Rota() const noexcept { return rota_; }

 private:
  Estado Verificar(SQLRETURN rc, SQLSMALLINT tipo, SQLHANDLE manejador);
  // Closes the statement's cursor (the handle stays for the next statement).
  struct CerrarCursor {
    void operator()(SQLHSTMT h) const noexcept { SQLFreeStmt(h, SQL_CLOSE); }
  };
  using Cursor = std::unique_ptr<void, CerrarCursor>;

  Estado PrepararSentencia();
  Resultado<Cursor> EjecutarDirecto(const std::string& sql);
  // As EjecutarDirecto, unseen by the observer.
  Resultado<Cursor> Enviar(const std::string& sql);
  Estado LeerCampoACampo(SQLHSTMT h, const std::vector<SQLSMALLINT>& tipos, Recordset& rs);
  Estado LeerEnlazadas(SQLHSTMT h, const std::vector<SQLSMALLINT>& tipos, Recordset& rs);
  Resultado<Valor> LeerCampo(SQLHSTMT h, SQLUSMALLINT columna, SQLSMALLINT tipo);

  ManejadorConexion dbc_;
  ManejadorSentencia sentencia_;  // freed before the connection closes
  // Rows are fetched into bound buffers: the driver can read a bound field
  // again, for a text longer than its buffer.
  bool enlazar_;
  bool sqlite_;
  bool rota_ = false;
  bool transaccion_ = false;
};

}  // namespace captura
