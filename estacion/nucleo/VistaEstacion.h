#pragma once

#include <QObject>

#include <string>

#include "estacion/nucleo/ListaPendientes.h"
#include "llamadas/EstadoCaptura.h"

// What a window shows of a station and the commands it sends it: the
// station in the window's own process, or the service the window attached
// to. The same signals and values either way.
class VistaEstacion : public QObject, public ListaPendientes {
  Q_OBJECT

 public:
  using QObject::QObject;

  virtual const std::string& TextoEstado() const = 0;
  // The text of the burst's latest receive event (empty at its end).
  virtual const std::string& TextoLlegada() const = 0;
  // The line below the status line: what waits, damaged files, a silent exchange.
  virtual std::string TextoAvisos() const = 0;
  virtual bool EnAlarma() const = 0;
  // Calls waiting or parked.
  virtual bool HayPendientes() const = 0;
  virtual std::string Resumen() const = 0;
  // The source's port number or network name, as the status texts name it.
  virtual const EstadoCaptura& Fuente() const = 0;
  // CAPTURA.INI was saved: read again and applied.
  virtual void AjustesGrabados() = 0;

 signals:
  void CambioEstado(const std::string& texto);
  void CambioLlegada(const std::string& texto);
  // TextoAvisos, the counts or the pending list may have changed.
  void CambioAvisos();
  // The silence has just become an alarm.
  void AlarmaSilencio();
  // The source's name (port number or network address) is known.
  void CambioOrigen();
};
