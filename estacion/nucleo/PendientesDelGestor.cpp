#include "estacion/nucleo/PendientesDelGestor.h"

#include "resguardo/Bitacora.h"
#include "resguardo/GestorPendientes.h"

namespace {

std::string Motivo(const LineaPendiente& l) {
  if (l.CargoAConfirmar()) return "reserva a confirmar";
  if (!l.UltimoFallo) return "en espera de las anteriores";
  return Bitacora::TextoFallo(*l.UltimoFallo);
}

}  // namespace

std::vector<FilaPendiente> PendientesDelGestor::FilasPendientes() const {
  const auto& lineas = gestor_.Cola().Lineas();
  std::vector<FilaPendiente> filas;
  filas.reserve(lineas.size());
  for (const auto& [id, l] : lineas) {
    FilaPendiente fila;
    fila.Id = id;
    fila.Aparcada = l.Situacion == LineaPendiente::Estado::Aparcada;
    fila.CargoAConfirmar = l.CargoAConfirmar();
    fila.Recibida = l.Recibida;
    fila.Intentos = l.Intentos;
    fila.Falla = Motivo(l);
    const auto& habitacion = l.Avance.Habitacion_;
    if (habitacion && habitacion->ReservaId > 0) fila.Reserva = habitacion->ReservaId;
    fila.Linea = Bitacora::TextoLineaEntera(l.Linea);
    filas.push_back(std::move(fila));
  }
  return filas;
}

bool PendientesDelGestor::Devolver(uint64_t id) { return gestor_.Devolver(id); }

bool PendientesDelGestor::Cargar(uint64_t id) { return gestor_.Cargar(id); }

bool PendientesDelGestor::DescartarCargo(uint64_t id) { return gestor_.DescartarCargo(id); }
