#pragma once

#include <QJsonObject>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "estacion/nucleo/FilaPendiente.h"
#include "llamadas/EstadoCaptura.h"

class VistaEstacion;

// The messages of the link between the service and its windows: the
// station as the window shows it, from the service; the operator's
// commands, from a window.
class MensajeEnlace {
 public:
  // What a window shows of the station.
  struct Estado {
    std::string TextoEstado;
    std::string TextoLlegada;  // one character per received byte
    std::string TextoAvisos;
    std::string Resumen;
    bool EnAlarma = false;
    bool HayPendientes = false;
    EstadoCaptura Fuente;  // its port number and network name only
    std::vector<FilaPendiente> Filas;
  };

  enum class Orden { Devolver, Cargar, DescartarCargo, AjustesGrabados };
  struct Pedido {
    Orden Que;
    uint64_t Id = 0;  // the kept call's, for all but AjustesGrabados
  };

  static QJsonObject DeEstado(const VistaEstacion& estacion);
  // Nothing when the message is no station's state.
  static std::optional<Estado> LeerEstado(const QJsonObject& mensaje);

  static QJsonObject DePedido(const Pedido& pedido);
  // Nothing when the message is no command this version knows.
  static std::optional<Pedido> LeerPedido(const QJsonObject& mensaje);
};
