#include "llamadas/RegistradorLlamadas.h"

#include <cstdint>
#include <functional>
#include <string_view>

#include "captura/FalloTransitorio.h"
#include "llamadas/Texto.h"

using captura::ArgsCrea;
using captura::ArgsCrearDetalle;
using captura::Fallo;
using captura::Recordset;
using captura::Resultado;
using captura::Valor;
using Paso = AvanceRegistro::Paso;
using Reserva = AvanceRegistro::Reserva;

namespace {

void Anotar(ResumenRegistro& resumen, PasoTelefono paso, const Fallo& fallo) {
  resumen.Fallidos.push_back({paso, fallo});
}

// A field that cannot be read or converted leaves its target as it was.
template <class T>
void Tomar(const Recordset& rs, std::string_view campo, T& destino,
           Resultado<T> (Valor::*convertir)() const) {
  auto valor = rs.Campo(campo);
  if (!valor) return;
  auto convertido = (valor.Dato().*convertir)();
  if (convertido) destino = convertido.Dato();
}

// The last step failed on a database that does not answer.
bool Transitorio(const ResumenRegistro& resumen) {
  return !resumen.Fallidos.empty() && captura::EsFalloTransitorio(resumen.Fallidos.back().Fallo);
}

bool EsGratuito(const RegistroLlamada& r) {
  return r.HorasEnMinutos == 0 && r.MinutosLlamada == 0 &&
         r.SegundosLlamada < RegistradorLlamadas::kSegundosGratis;
}

struct Importe {
  float Cantidad = 0;
  float Total = 0;
};

Importe Cuantificar(const RegistroLlamada& r, float precioVenta) {
  Importe v;
  if (EsGratuito(r)) return v;
  const int suma = r.HorasEnMinutos + r.MinutosLlamada;
  if (suma < INT16_MIN || suma > INT16_MAX) return v;  // the minute sum is 16-bit
  const auto minutos = static_cast<int16_t>(suma);
  const bool fraccion = r.SegundosLlamada != 0;
  const bool tarifaUnica = r.Discado.starts_with("0800") || r.Discado.starts_with("0801");
  v.Cantidad = tarifaUnica ? 1.0f : static_cast<float>(minutos + (fraccion ? 1 : 0));
  v.Total = static_cast<float>(minutos) * precioVenta;
  if (fraccion) v.Total += precioVenta;
  return v;
}

// How each kind of row is posted and counted.
template <class Fila>
struct Operaciones {
  PasoTelefono pasoPostear, pasoContar;
  captura::Estado (*postear)(captura::_Telefono&, const Fila&);
  Resultado<int32_t> (captura::_Telefono::*contar)(const Fila&) noexcept;
};
constexpr Operaciones<ArgsCrearDetalle> kCargo{PasoTelefono::CrearDetalle,
                                               PasoTelefono::ContarDetalles, &captura::CrearDetalle,
                                               &captura::_Telefono::ContarDetalles};
constexpr Operaciones<ArgsCrea> kLlamada{PasoTelefono::Crea, PasoTelefono::ContarLlamadas,
                                         &captura::Crea, &captura::_Telefono::ContarLlamadas};

// Whether a row that may have been posted is stored: as the caller says, or
// any equal row found.
template <class Fila>
Resultado<bool> Guardado(const Operaciones<Fila>& op,
                         const std::function<Resultado<bool>(const Fila&)>& comprobar,
                         captura::_Telefono& t, const Fila& fila) {
  if (comprobar) return comprobar(fila);
  auto cuenta = (t.*op.contar)(fila);
  if (!cuenta) return cuenta.Falla();
  return cuenta.Dato() > 0;
}

// Posts one row of a call (nothing to post when there is no row) as its
// step's state requires, and records the new state.
template <class Fila>
void Postear(const Operaciones<Fila>& op, const std::optional<Fila>& fila, Paso& paso,
             bool& registrado, bool& existente,
             const std::function<Resultado<bool>(const Fila&)>& comprobar, captura::_Telefono& t,
             ResumenRegistro& s) {
  if (!fila || paso == Paso::Hecho) {
    registrado = fila.has_value();
    paso = Paso::Hecho;
    return;
  }
  if (paso == Paso::Dudoso) {
    auto guardado = Guardado(op, comprobar, t, *fila);
    if (!guardado) {
      Anotar(s, op.pasoContar, guardado.Falla());
      return;
    }
    if (guardado.Dato()) {
      paso = Paso::Hecho;
      registrado = existente = true;
      return;
    }
  }
  auto estado = op.postear(t, *fila);
  if (!estado) {
    Anotar(s, op.pasoPostear, estado.Falla());
    // A posting cut off by the database may have been applied all the same.
    paso = captura::EsFalloTransitorio(estado.Falla()) ? Paso::Dudoso : Paso::Pendiente;
    return;
  }
  paso = Paso::Hecho;
  registrado = true;
}

}  // namespace

ResumenRegistro RegistradorLlamadas::RegistrarLlamada(const RegistroLlamada& registro,
                                                      captura::_Telefono& telefono,
                                                      ModoRegistro modo,
                                                      const AvanceRegistro& previo,
                                                      const ComprobarDudas& dudas) {
  ResumenRegistro s;
  s.Avance = previo;
  if (!s.Avance.Tarifa_) {
    AvanceRegistro::Tarifa tarifa;
    Tarifar(registro, telefono, tarifa, s);
    if (Transitorio(s)) return s;
    s.Avance.Tarifa_ = tarifa;
  }
  if (!s.Avance.Habitacion_) {
    AvanceRegistro::Habitacion habitacion;
    BuscarReserva(registro, telefono, habitacion, s);
    if (Transitorio(s)) return s;
    s.Avance.Habitacion_ = habitacion;
  }
  ComprobarATiempo(registro, telefono, dudas, s);
  if (Transitorio(s)) return s;
  if (s.Avance.Reserva_ != Reserva::AConfirmar) Cargar(registro, telefono, dudas, s);
  if (modo == ModoRegistro::Reposicion && Transitorio(s)) return s;
  Guardar(registro, telefono, dudas, s);
  return s;
}

std::optional<ArgsCrearDetalle> RegistradorLlamadas::FilaCargo(const RegistroLlamada& r,
                                                               const AvanceRegistro& a) {
  if (!a.Tarifa_ || !a.Habitacion_ || a.Reserva_ == Reserva::Descartada) return std::nullopt;
  const auto& t = *a.Tarifa_;
  const auto& h = *a.Habitacion_;
  const Importe importe = Cuantificar(r, t.PrecioVenta);
  if (!(importe.Total > 0 && h.ReservaId > 0)) return std::nullopt;
  return ArgsCrearDetalle{0,
                          h.ReservaId,
                          h.HabitacionId,
                          t.ProductoID,
                          t.PrecioVenta,
                          importe.Cantidad,
                          "",
                          kPuntoVenta,
                          0,
                          0,
                          0,
                          "",
                          0,
                          0,
                          Utf8DesdeLatin1(r.Discado),
                          t.MonedaId,
                          kTipoCambio,
                          r.FechaLlamada,
                          r.HoraLlamada};
}

std::optional<ArgsCrea> RegistradorLlamadas::FilaLlamada(const RegistroLlamada& r,
                                                         const AvanceRegistro& a) {
  if (!a.Tarifa_ || !a.Habitacion_) return std::nullopt;
  const auto& t = *a.Tarifa_;
  const auto& h = *a.Habitacion_;
  // The call table holds the currency as a byte.
  if (t.MonedaId < 0 || t.MonedaId > UINT8_MAX) return std::nullopt;
  // Looked up late, the reservation may be the next guest's.
  const int32_t reserva = a.Reserva_ == Reserva::AlDia ? h.ReservaId : 0;
  return ArgsCrea{Utf8DesdeLatin1(Recortar(r.Anexo)),
                  Utf8DesdeLatin1(r.Discado),
                  r.FechaLlamada,
                  r.HoraLlamada,
                  Utf8DesdeLatin1(r.Tiempo),
                  Utf8DesdeLatin1(r.Codigo),
                  reserva,
                  h.HabitacionId,
                  t.PrecioVenta,
                  t.PrecioCosto,
                  t.ProductoID,
                  static_cast<uint8_t>(t.MonedaId),
                  kTipoCambio};
}

void RegistradorLlamadas::Tarifar(const RegistroLlamada& r, captura::_Telefono& t,
                                  AvanceRegistro::Tarifa& v, ResumenRegistro& s) {
  const std::string& discado = r.Discado;
  if (discado.starts_with('0')) {
    CodigoBusqueda_ = discado.substr(0, 3);
    auto filas = t.ListarTodo(Utf8DesdeLatin1(CodigoBusqueda_));
    if (filas) {
      rsTarifas_ = std::move(filas.Dato());
    } else {
      Anotar(s, PasoTelefono::ListarTodo, filas.Falla());
      if (Transitorio(s)) return;
    }
    if (rsTarifas_ && rsTarifas_->RecordCount() > 0) BuscarPrefijo(discado, v);
  } else if (Recortar(discado).size() > 4) {
    CodigoBusqueda_ = discado.substr(0, 1);
    int32_t producto = v.ProductoID;
    float costo = v.PrecioCosto;
    int32_t moneda = v.MonedaId;
    auto precio = t.PrecioCostoLocal(Utf8DesdeLatin1(CodigoBusqueda_), producto, costo, moneda);
    if (!precio) {
      Anotar(s, PasoTelefono::PrecioCostoLocal, precio.Falla());
      return;
    }
    v.PrecioVenta = precio.Dato();
    v.ProductoID = producto;
    v.PrecioCosto = costo;
    v.MonedaId = moneda;
  }
}

// The longest code that is a prefix of the number without its last
// character; among equal codes the first row. One pass over the rows gives
// the same row as trying each prefix length from the longest down.
void RegistradorLlamadas::BuscarPrefijo(const std::string& discado, AvanceRegistro::Tarifa& v) {
  Recordset& rs = *rsTarifas_;
  const std::string numero = Utf8DesdeLatin1(Recortar(discado));
  long elegida = -1;
  std::size_t largoElegido = 0;
  const auto columna = rs.Indice("CodigosTelefonicos");
  if (!columna) return;
  rs.MoveFirst();
  for (long fila = 0; fila < rs.RecordCount() && !rs.EOF_(); ++fila, rs.MoveNext()) {
    auto campo = rs.Campo(*columna);
    if (!campo || campo.Dato().EsNulo()) continue;
    auto texto = campo.Dato().ATexto();
    if (!texto) continue;
    const std::string_view codigo = Recortar(texto.Dato());
    if (codigo.size() < numero.size() && (elegida < 0 || codigo.size() > largoElegido) &&
        std::string_view(numero).starts_with(codigo)) {
      elegida = fila;
      largoElegido = codigo.size();
    }
  }
  if (elegida < 0) return;
  rs.MoveFirst();
  for (long fila = 0; fila < elegida; ++fila) rs.MoveNext();
  Tomar(rs, "PrecioVenta", v.PrecioVenta, &Valor::AFloat);
  Tomar(rs, "ProductoID", v.ProductoID, &Valor::ALong);
  Tomar(rs, "MonedaId", v.MonedaId, &Valor::ALong);
  Tomar(rs, "PrecioCosto", v.PrecioCosto, &Valor::AFloat);
}

void RegistradorLlamadas::BuscarReserva(const RegistroLlamada& r, captura::_Telefono& t,
                                        AvanceRegistro::Habitacion& v, ResumenRegistro& s) {
  int32_t reserva = 0;
  int32_t habitacion = 0;
  auto estado = t.ReservaHabitacion(reserva, habitacion, Utf8DesdeLatin1(Recortar(r.Anexo)));
  if (!estado) {
    Anotar(s, PasoTelefono::ReservaHabitacion, estado.Falla());
    return;
  }
  v.ReservaId = reserva;
  v.HabitacionId = habitacion;
}

// A call that may have been stored before the station stopped was looked up
// then: stored with the reservation found now, that look-up was in time and
// found the same guest, so the charge is no longer in doubt.
void RegistradorLlamadas::ComprobarATiempo(const RegistroLlamada& r, captura::_Telefono& t,
                                           const ComprobarDudas& dudas, ResumenRegistro& s) {
  if (s.Avance.Reserva_ != Reserva::AConfirmar || s.Avance.Llamada != Paso::Dudoso) return;
  AvanceRegistro aTiempo = s.Avance;
  aTiempo.Reserva_ = Reserva::AlDia;
  const auto fila = FilaLlamada(r, aTiempo);
  if (!fila) return;
  auto guardada = Guardado(kLlamada, dudas.Llamada, t, *fila);
  if (!guardada) {
    Anotar(s, PasoTelefono::ContarLlamadas, guardada.Falla());
  } else if (guardada.Dato()) {
    s.Avance.Reserva_ = Reserva::AlDia;
  }
}

void RegistradorLlamadas::Cargar(const RegistroLlamada& r, captura::_Telefono& t,
                                 const ComprobarDudas& dudas, ResumenRegistro& s) {
  Postear(kCargo, FilaCargo(r, s.Avance), s.Avance.Cargo, s.CargoRegistrado, s.CargoExistente,
          dudas.Cargo, t, s);
}

void RegistradorLlamadas::Guardar(const RegistroLlamada& r, captura::_Telefono& t,
                                  const ComprobarDudas& dudas, ResumenRegistro& s) {
  const int32_t moneda = s.Avance.Tarifa_->MonedaId;
  if (moneda < 0 || moneda > UINT8_MAX) {
    Anotar(s, PasoTelefono::Crea, Fallo{captura::kErrorDesbordamiento, "Overflow"});
    return;
  }
  Postear(kLlamada, FilaLlamada(r, s.Avance), s.Avance.Llamada, s.LlamadaGuardada,
          s.LlamadaExistente, dudas.Llamada, t, s);
}
