#include "llamadas/RegistradorLlamadas.h"

#include <cstdint>
#include <string_view>

#include "captura/FalloTransitorio.h"
#include "llamadas/Texto.h"

using captura::Fallo;
using captura::Recordset;
using captura::Resultado;
using captura::Valor;

// Working values of one call; each starts at 0 for every call.
struct RegistradorLlamadas::Valores {
  float PrecioVenta = 0;
  float PrecioCosto = 0;
  int32_t ProductoID = 0;
  int32_t MonedaId = 0;
  float Cantidad = 0;
  float ImporteTotal = 0;
  int32_t ReservaId = 0;
  int32_t HabitacionId = 0;
};

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

// Re-posting: true when the row must not be posted, because it is stored
// already or because the look-up failed (posting then could double it).
bool Omitir(const Resultado<int32_t>& cuenta, ResumenRegistro& resumen, bool& existente) {
  if (!cuenta) {
    Anotar(resumen, PasoTelefono::ContarRegistrados, cuenta.Falla());
    return true;
  }
  existente = cuenta.Dato() > 0;
  return existente;
}

// Re-posting stops at a database that does not answer.
bool Detener(ModoRegistro modo, const ResumenRegistro& resumen) {
  return modo == ModoRegistro::Reposicion && !resumen.Fallidos.empty() &&
         captura::EsFalloTransitorio(resumen.Fallidos.back().Fallo);
}

bool EsGratuito(const RegistroLlamada& r) {
  return r.HorasEnMinutos == 0 && r.MinutosLlamada == 0 &&
         r.SegundosLlamada < RegistradorLlamadas::kSegundosGratis;
}

}  // namespace

ResumenRegistro RegistradorLlamadas::RegistrarLlamada(const RegistroLlamada& registro,
                                                      captura::_Telefono& telefono,
                                                      ModoRegistro modo) {
  ResumenRegistro resumen;
  Valores valores;
  Tarifar(registro, telefono, valores, resumen);
  if (Detener(modo, resumen)) return resumen;
  Cuantificar(registro, valores);
  BuscarReserva(registro, telefono, valores, resumen);
  if (Detener(modo, resumen)) return resumen;
  Cargar(registro, telefono, valores, modo, resumen);
  if (Detener(modo, resumen)) return resumen;
  Guardar(registro, telefono, valores, modo, resumen);
  return resumen;
}

void RegistradorLlamadas::Tarifar(const RegistroLlamada& r, captura::_Telefono& t, Valores& v,
                                  ResumenRegistro& s) {
  const std::string& discado = r.Discado;
  if (discado.starts_with('0')) {
    CodigoBusqueda_ = discado.substr(0, 3);
    auto filas = t.ListarTodo(Utf8DesdeLatin1(CodigoBusqueda_));
    if (filas) {
      rsTarifas_ = std::move(filas.Dato());
    } else {
      Anotar(s, PasoTelefono::ListarTodo, filas.Falla());
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
void RegistradorLlamadas::BuscarPrefijo(const std::string& discado, Valores& v) {
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

void RegistradorLlamadas::Cuantificar(const RegistroLlamada& r, Valores& v) {
  if (EsGratuito(r)) return;
  const int suma = r.HorasEnMinutos + r.MinutosLlamada;
  if (suma < INT16_MIN || suma > INT16_MAX) return;  // the minute sum is 16-bit
  const auto minutos = static_cast<int16_t>(suma);
  const bool fraccion = r.SegundosLlamada != 0;
  const bool tarifaUnica = r.Discado.starts_with("0800") || r.Discado.starts_with("0801");
  v.Cantidad = tarifaUnica ? 1.0f : static_cast<float>(minutos + (fraccion ? 1 : 0));
  v.ImporteTotal = static_cast<float>(minutos) * v.PrecioVenta;
  if (fraccion) v.ImporteTotal += v.PrecioVenta;
}

void RegistradorLlamadas::BuscarReserva(const RegistroLlamada& r, captura::_Telefono& t, Valores& v,
                                        ResumenRegistro& s) {
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

void RegistradorLlamadas::Cargar(const RegistroLlamada& r, captura::_Telefono& t, const Valores& v,
                                 ModoRegistro modo, ResumenRegistro& s) {
  if (!(v.ImporteTotal > 0 && v.ReservaId > 0)) return;
  if (modo == ModoRegistro::Reposicion &&
      Omitir(t.ContarRegistrados(captura::kRegistroCargo, v.ReservaId, "",
                                 Utf8DesdeLatin1(r.Discado), r.FechaLlamada, r.HoraLlamada, ""),
             s, s.CargoExistente)) {
    s.CargoRegistrado = s.CargoExistente;
    return;
  }
  auto estado =
      t.CrearDetalle(0, v.ReservaId, v.HabitacionId, v.ProductoID, v.PrecioVenta, v.Cantidad, "",
                     kPuntoVenta, 0, 0, 0, "", 0, 0, Utf8DesdeLatin1(r.Discado), v.MonedaId,
                     kTipoCambio, r.FechaLlamada, r.HoraLlamada);
  if (!estado) {
    Anotar(s, PasoTelefono::CrearDetalle, estado.Falla());
    return;
  }
  s.CargoRegistrado = true;
}

void RegistradorLlamadas::Guardar(const RegistroLlamada& r, captura::_Telefono& t, const Valores& v,
                                  ModoRegistro modo, ResumenRegistro& s) {
  // The call table holds the currency as a byte.
  if (v.MonedaId < 0 || v.MonedaId > UINT8_MAX) {
    Anotar(s, PasoTelefono::Crea, Fallo{captura::kErrorDesbordamiento, "Overflow"});
    return;
  }
  if (modo == ModoRegistro::Reposicion &&
      Omitir(t.ContarRegistrados(captura::kRegistroLlamada, v.ReservaId,
                                 Utf8DesdeLatin1(Recortar(r.Anexo)), Utf8DesdeLatin1(r.Discado),
                                 r.FechaLlamada, r.HoraLlamada, Utf8DesdeLatin1(r.Tiempo)),
             s, s.LlamadaExistente)) {
    s.LlamadaGuardada = s.LlamadaExistente;
    return;
  }
  auto estado = t.Crea(Utf8DesdeLatin1(Recortar(r.Anexo)), Utf8DesdeLatin1(r.Discado),
                       r.FechaLlamada, r.HoraLlamada, Utf8DesdeLatin1(r.Tiempo),
                       Utf8DesdeLatin1(r.Codigo), v.ReservaId, v.HabitacionId, v.PrecioVenta,
                       v.PrecioCosto, v.ProductoID, static_cast<uint8_t>(v.MonedaId), kTipoCambio);
  if (!estado) {
    Anotar(s, PasoTelefono::Crea, estado.Falla());
    return;
  }
  s.LlamadaGuardada = true;
}
