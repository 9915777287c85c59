#pragma once

#include <QObject>
#include <QString>

#include <string>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"

class QLocalServer;

// One station per program directory: a lock on a file there, held for the
// whole run and taken before the journal, the queue or the settings file are
// touched, and a local socket on which a second start asks the running
// station to show its window. The socket's name is in the abstract
// namespace, which any local user can reach or take first: the station
// heeds only its own user, and a second start trusts only a listener of its
// own user.
class UnicaEstacion : public QObject {
  Q_OBJECT

 public:
  static constexpr char kArchivo[] = "sentrel.bloqueo";

  explicit UnicaEstacion(QObject* padre = nullptr);
  ~UnicaEstacion() override;

  // Takes the directory's lock; fails, saying why, when another station
  // holds it (EBUSY) or the lock cannot be had. Taking it again is no failure.
  captura::Estado Tomar(const std::string& directorio);
  bool Tomada() const { return bloqueo_.Valido(); }
  // Why a second start cannot reach this station; empty when it can.
  const std::string& FalloEscucha() const { return falloEscucha_; }

  // From a second start: asks the station holding the directory to show its
  // window. False when no station of this user listens there.
  static bool PedirPresentar(const std::string& directorio);
  // The socket's name: the directory's own, in the abstract namespace.
  static QString NombreSocket(const std::string& directorio);

 signals:
  void Presentar();

 private:
  void Atender();

  Descriptor bloqueo_;
  QLocalServer* servidor_ = nullptr;
  std::string falloEscucha_;
};
