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
// station to show its window.
class UnicaEstacion : public QObject {
  Q_OBJECT

 public:
  static constexpr char kArchivo[] = "sentrel.bloqueo";

  explicit UnicaEstacion(QObject* padre = nullptr);
  ~UnicaEstacion() override;

  // Takes the directory's lock; fails, saying why, when another station
  // holds it. Taking it again is no failure.
  captura::Estado Tomar(const std::string& directorio);
  bool Tomada() const { return bloqueo_.Valido(); }

  // From a second start: asks the station holding the directory to show its
  // window. False when none answered.
  static bool PedirPresentar(const std::string& directorio);

 signals:
  void Presentar();

 private:
  static QString NombreSocket(const std::string& directorio);
  void Atender();

  Descriptor bloqueo_;
  QLocalServer* servidor_ = nullptr;
};
