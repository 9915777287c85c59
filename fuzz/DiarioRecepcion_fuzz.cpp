// The receive journal opened on any file (and any done mark): it opens, gives
// what it holds in order, keeps what is appended, and a second opening gives
// back exactly what the first one held.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "prueba/DirectorioPrueba.h"
#include "prueba/LineaPrueba.h"
#include "resguardo/ArchivoDisco.h"
#include "resguardo/CodigoRegistro.h"
#include "resguardo/DiarioRecepcion.h"

namespace {

constexpr std::size_t kLargoMarca = 32;  // the done mark's two slots

// A number from the input, zeros for the bytes it lacks.
template <typename T>
T Tomar(std::string_view& origen) {
  std::string bytes(origen.substr(0, sizeof(T)));
  bytes.resize(sizeof(T), '\0');
  origen.remove_prefix(std::min(sizeof(T), origen.size()));
  return codigo_registro::Tomar<T>(bytes, 0);
}

std::string Comprobado(uint64_t numero) {
  std::string campos;
  codigo_registro::Poner(campos, numero);
  codigo_registro::Poner(campos, archivo_disco::Control(numero));
  return campos;
}

struct Archivos {
  std::string Diario;
  std::string Marca;
};

// Checks the input could not make by chance: a header, a done mark and
// records with their checks right, so that their positions and lengths
// reach the reading. The input: the base and the mark's distance from it
// (two bytes each), then records: each one's distance from the end of the
// one before (one signed byte), its length (one byte) and its bytes. A
// record the input cuts short is written as far as it goes.
Archivos Armar(std::string_view entrada) {
  Archivos a;
  const uint64_t base = Tomar<uint16_t>(entrada);
  a.Marca = Comprobado(base + Tomar<uint16_t>(entrada));
  a.Diario = "SNTRDIA2" + Comprobado(base);
  uint64_t fin = base;
  while (!entrada.empty()) {
    // Back at most to position 0: the stream's count never wraps.
    const int distancia = Tomar<int8_t>(entrada);
    const uint64_t posicion =
        distancia < 0 ? fin - std::min<uint64_t>(fin, -distancia) : fin + distancia;
    const auto largo = static_cast<uint32_t>(Tomar<uint8_t>(entrada));
    const std::string_view bytes = entrada.substr(0, largo);
    entrada.remove_prefix(bytes.size());
    std::string registro;
    codigo_registro::Poner(registro, posicion);
    codigo_registro::Poner(registro, largo);
    registro.append(bytes);
    a.Diario.append("\xA7RgD");
    codigo_registro::Poner(a.Diario, archivo_disco::Crc32(registro));
    a.Diario.append(registro);
    fin = posicion + largo;
  }
  return a;
}

// The input as the files themselves: the journal, then the mark's slots.
Archivos Tomados(std::string_view entrada, bool conMarca) {
  if (!conMarca || entrada.size() < kLargoMarca) return {std::string(entrada), {}};
  return {std::string(entrada.substr(0, entrada.size() - kLargoMarca)),
          std::string(entrada.substr(entrada.size() - kLargoMarca))};
}

// Stretches in stream order, none before the done position or past the end.
DiarioRecepcion::Tramos Recuperar(const DiarioRecepcion& diario) {
  auto tramos = diario.Recuperar();
  if (!tramos || tramos.Dato().empty()) std::abort();
  uint64_t desde = diario.Completo();
  for (const auto& tramo : tramos.Dato()) {
    if (tramo.Posicion < desde) std::abort();
    desde = tramo.Posicion + tramo.Bytes.size();
  }
  if (desde > diario.Fin()) std::abort();
  return std::move(tramos.Dato());
}

bool Iguales(const DiarioRecepcion::Tramos& a, const DiarioRecepcion::Tramos& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.Posicion == y.Posicion && x.Bytes == y.Bytes;
  });
}

}  // namespace

// The input's last byte chooses: bit 0, a done mark; bit 1, part of what is
// appended marked done and dropped; bit 2, the files built by Armar.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, std::size_t largo) {
  if (largo == 0) return 0;
  const std::string_view entrada(reinterpret_cast<const char*>(datos), largo - 1);
  const uint8_t eleccion = datos[largo - 1];
  const Archivos archivos =
      (eleccion & 4) != 0 ? Armar(entrada) : Tomados(entrada, (eleccion & 1) != 0);
  DirectorioPrueba dir;
  DirectorioPrueba::Escribir(dir.Ruta(DiarioRecepcion::kArchivo), archivos.Diario);
  if ((eleccion & 1) != 0) {
    DirectorioPrueba::Escribir(dir.Ruta(DiarioRecepcion::kArchivoCompletado), archivos.Marca);
  }

  DiarioRecepcion::Tramos guardado;
  {
    auto abierto = DiarioRecepcion::Abrir(dir.Ruta(), 64);
    if (!abierto) std::abort();
    DiarioRecepcion& diario = *abierto.Dato();
    Recuperar(diario);
    const std::string linea = LineaPrueba("2105", "01144412345") + "\r\n";
    if (!diario.Agregar(linea)) std::abort();
    guardado = Recuperar(diario);
    if (!guardado.back().Bytes.ends_with(linea) ||
        guardado.back().Posicion + guardado.back().Bytes.size() != diario.Fin()) {
      std::abort();
    }
    if ((eleccion & 2) != 0) {
      diario.Completado(diario.Fin() - eleccion % linea.size());
      if (!diario.Compactar()) std::abort();
      guardado = Recuperar(diario);
    }
  }
  auto otra = DiarioRecepcion::Abrir(dir.Ruta(), 64);
  if (!otra || otra.Dato()->Dano()) std::abort();
  if (!Iguales(Recuperar(*otra.Dato()), guardado)) std::abort();
  return 0;
}
