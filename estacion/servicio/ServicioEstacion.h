#pragma once

#include <QObject>

#include <string>

#include "estacion/enlace/ServidorEnlace.h"
#include "estacion/nucleo/Estacion.h"
#include "estacion/servicio/AvisoSystemd.h"
#include "estacion/ventana/AvisoTerminacion.h"
#include "estacion/ventana/UnicaEstacion.h"

// The station with no window: its core, its directory's lock, the link its
// operators' windows attach to, the end asked by the system and what
// systemd is told. Needs only QCoreApplication.
class ServicioEstacion : public QObject {
  Q_OBJECT

 public:
  explicit ServicioEstacion(ReceptorLlamadas::CrearTelefono crearTelefono,
                            QObject* padre = nullptr);

  void DirectorioPrograma(const std::string& directorio) {
    estacion_.DirectorioPrograma(directorio);
  }

  // The lock, the journal and the queue, then the port. False, the reason on
  // standard error and in the log, when the station cannot run.
  bool Iniciar();
  // After the event loop: the port closed, the log's last line.
  void Finalizar();

 private:
  bool NoSeInicia(const std::string& motivo);
  void Terminar();

  Estacion estacion_;
  ServidorEnlace enlace_;
  UnicaEstacion unica_;
  AvisoSystemd systemd_;
  AvisoTerminacion terminacion_;
};
