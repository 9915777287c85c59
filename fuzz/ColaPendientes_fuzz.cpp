// The queue loaded from any file: it loads, takes changes, and what it holds
// then comes back whole when the file is loaded again.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "prueba/DirectorioPrueba.h"
#include "prueba/LineaPrueba.h"
#include "resguardo/ArchivoDisco.h"
#include "resguardo/CodigoRegistro.h"
#include "resguardo/ColaPendientes.h"

namespace {

std::string Numeros(std::initializer_list<int64_t> numeros) {
  std::string texto;
  for (const int64_t n : numeros) texto += std::to_string(n) + ",";
  return texto;
}

std::string Falla(const std::optional<captura::Fallo>& f) {
  return f ? Numeros({f->Numero}) + f->Descripcion + "|" : "-|";
}

// Every field of every line, floats by their bits (a NaN read back is the same NaN).
std::string Contenido(const ColaPendientes& cola) {
  std::string texto = Numeros({static_cast<int64_t>(cola.Pendientes())});
  for (const auto& [id, l] : cola.Lineas()) {
    const auto t = l.Avance.Tarifa_.value_or(AvanceRegistro::Tarifa{});
    const auto h = l.Avance.Habitacion_.value_or(AvanceRegistro::Habitacion{});
    texto +=
        Numeros({static_cast<int64_t>(id), static_cast<int64_t>(l.Id),
                 static_cast<int64_t>(l.Situacion), l.Intentos, l.Recibida, l.UltimoIntento,
                 l.Avance.Tarifa_.has_value(), std::bit_cast<uint32_t>(t.PrecioVenta),
                 std::bit_cast<uint32_t>(t.PrecioCosto), t.ProductoID, t.MonedaId,
                 l.Avance.Habitacion_.has_value(), h.ReservaId, h.HabitacionId,
                 static_cast<int64_t>(l.Avance.Cargo), static_cast<int64_t>(l.Avance.Llamada),
                 static_cast<int64_t>(l.Avance.Reserva_), static_cast<int64_t>(l.Linea.size())}) +
        l.Linea + Falla(l.PrimerFallo) + Falla(l.UltimoFallo);
  }
  return texto;
}

// A new line, the oldest one parked after a failure, the second one gone.
void Cambiar(ColaPendientes& cola) {
  LineaPendiente nueva;
  nueva.Linea = LineaPrueba("2105", "01144412345");
  nueva.Recibida = 1765000000;
  cola.Agregar(std::move(nueva));
  LineaPendiente primera = cola.Lineas().begin()->second;
  primera.Situacion = LineaPendiente::Estado::Aparcada;
  primera.Intentos += 1;
  primera.UltimoFallo = captura::Fallo{6, "Overflow"};
  cola.Actualizar(primera);
  if (cola.Lineas().size() > 1) cola.Quitar(std::next(cola.Lineas().begin())->first);
}

// Changes the input could not make by chance: each one with its length and
// checksum right, so that what it holds reaches the reading. The input: each
// change's length (one byte) and its bytes. A change the input cuts short
// is written as far as it goes, as a write a crash cut short.
std::string Armar(std::string_view entrada) {
  std::string archivo = "SNTLPND1";
  while (!entrada.empty()) {
    const auto largo = static_cast<uint32_t>(static_cast<uint8_t>(entrada.front()));
    entrada.remove_prefix(1);
    const std::string_view cambio = entrada.substr(0, largo);
    entrada.remove_prefix(cambio.size());
    const uint32_t crc = archivo_disco::Crc32(cambio);
    codigo_registro::Poner(archivo, largo);
    codigo_registro::Poner(archivo, crc);
    archivo.append(cambio);
  }
  return archivo;
}

}  // namespace

// The input: the queue file, then a last byte that when odd has the file
// built by Armar from the rest instead.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, std::size_t largo) {
  if (largo == 0) return 0;
  DirectorioPrueba dir;
  const std::string ruta = dir.Ruta(ColaPendientes::kArchivo);
  const std::string_view entrada(reinterpret_cast<const char*>(datos), largo - 1);
  DirectorioPrueba::Escribir(ruta,
                             datos[largo - 1] % 2 != 0 ? Armar(entrada) : std::string(entrada));
  std::string guardado;
  {
    ColaPendientes cola(ruta);
    if (cola.Pendientes() + cola.Aparcadas() != cola.Lineas().size()) std::abort();
    Cambiar(cola);
    if (!cola.EstadoArchivo()) std::abort();
    guardado = Contenido(cola);
  }
  ColaPendientes otra(ruta);
  if (!otra.EstadoArchivo() || otra.Dano() || Contenido(otra) != guardado) std::abort();
  return 0;
}
