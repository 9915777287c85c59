#pragma once

#include <chrono>
#include <string>

#include "estacion/enlace/MensajeEnlace.h"
#include "estacion/nucleo/VistaEstacion.h"

class CanalEnlace;
class QLocalSocket;
class QTimer;

// The station of a service, as a window attached to it through the
// service's link shows it: the values the service sent last, and the
// operator's commands sent to it. When the service goes away the status
// line says so and the link is tried again, every kReintento.
class EstacionRemota : public VistaEstacion {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kReintento{2000};
  // The whole pending list of a service whose database is away for long.
  static constexpr qsizetype kMaximoEstado = 256 * 1024 * 1024;
  static constexpr char kSufijoSinServicio[] = "  : Sin enlace con el servicio, se reintenta.";

  explicit EstacionRemota(std::string directorio, QObject* padre = nullptr);
  ~EstacionRemota() override;

  // At the window's start: connects and waits, at most `espera`, for the
  // station's state. False when no service answers in the directory.
  bool Conectar(std::chrono::milliseconds espera);

  const std::string& TextoEstado() const override { return estado_.TextoEstado; }
  const std::string& TextoLlegada() const override { return estado_.TextoLlegada; }
  std::string TextoAvisos() const override { return estado_.TextoAvisos; }
  bool EnAlarma() const override { return estado_.EnAlarma; }
  bool HayPendientes() const override { return estado_.HayPendientes; }
  std::string Resumen() const override { return estado_.Resumen; }
  const EstadoCaptura& Fuente() const override { return estado_.Fuente; }
  std::vector<FilaPendiente> FilasPendientes() const override { return estado_.Filas; }

  // Sent to the service; false while there is no link.
  bool Devolver(uint64_t id) override;
  bool Cargar(uint64_t id) override;
  bool DescartarCargo(uint64_t id) override;
  void AjustesGrabados() override;

  bool Enlazada() const;

 private:
  bool Pedir(MensajeEnlace::Orden orden, uint64_t id = 0);
  void Recibir(const QJsonObject& mensaje);
  void Perdida();
  void Reconectar();

  const std::string directorio_;
  QLocalSocket* socket_;
  CanalEnlace* canal_;
  QTimer* reintento_;
  MensajeEnlace::Estado estado_;
  bool recibido_ = false;
};
