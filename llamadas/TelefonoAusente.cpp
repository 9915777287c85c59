#include "llamadas/TelefonoAusente.h"

#include <utility>

using captura::Estado;
using captura::Fecha;
using captura::Resultado;

TelefonoAusente::TelefonoAusente(captura::Fallo fallo) : fallo_(std::move(fallo)) {}

Resultado<std::unique_ptr<captura::Recordset>> TelefonoAusente::ListarTodo(
    const std::string&) noexcept {
  return fallo_;
}

Resultado<float> TelefonoAusente::PrecioCostoLocal(const std::string&, int32_t&, float&,
                                                   int32_t&) noexcept {
  return fallo_;
}

Estado TelefonoAusente::ReservaHabitacion(int32_t&, int32_t&, const std::string&) noexcept {
  return fallo_;
}

Estado TelefonoAusente::CrearDetalle(int32_t, int32_t, int32_t, int32_t, float, float,
                                     const std::string&, int32_t, int32_t, uint8_t, uint8_t,
                                     const std::string&, float, float, const std::string&, int32_t,
                                     float, Fecha, Fecha) noexcept {
  return fallo_;
}

Estado TelefonoAusente::Crea(const std::string&, const std::string&, Fecha, Fecha,
                             const std::string&, const std::string&, int32_t, int32_t, float, float,
                             int32_t, uint8_t, float) noexcept {
  return fallo_;
}

Estado TelefonoAusente::CreaLLamda(const std::string&, const std::string&, Fecha, Fecha) noexcept {
  return fallo_;
}

Resultado<int32_t> TelefonoAusente::ContarDetalles(const captura::ArgsCrearDetalle&) noexcept {
  return fallo_;
}

Resultado<int32_t> TelefonoAusente::ContarLlamadas(const captura::ArgsCrea&) noexcept {
  return fallo_;
}

Estado TelefonoAusente::Asegurar() noexcept { return fallo_; }
