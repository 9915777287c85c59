// The INI layer on any file: a value written reads back as written, and
// writing one key changes no other.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "estacion/ajustes/PerfilIni.h"
#include "prueba/DirectorioPrueba.h"

namespace {

constexpr std::string_view kAusente = "\x01";

std::string Leer(const std::string& ruta, std::string_view seccion, std::string_view clave) {
  std::array<char, 4096> buffer{};
  const auto n = PerfilIni::LeerValor(ruta, seccion, clave, kAusente, buffer.data(), buffer.size());
  if (n >= buffer.size() || buffer[n] != '\0') std::abort();
  return std::string(buffer.data(), n);
}

bool Blanco(char c) { return c == ' ' || c == '\t'; }

// Goes on one line as it is and cannot be taken for anything but itself.
bool Llano(std::string_view texto, std::string_view prohibidos) {
  return !texto.empty() && !Blanco(texto.front()) && !Blanco(texto.back()) &&
         texto.find_first_of(prohibidos) == std::string_view::npos;
}

bool NombreLlano(std::string_view nombre) {
  return Llano(nombre, std::string_view("\0\r\n[]=;", 7));
}

bool ValorLlano(std::string_view valor) {
  const bool entreComillas = valor.size() >= 2 && (valor.front() == '"' || valor.front() == '\'') &&
                             valor.back() == valor.front();
  return Llano(valor, std::string_view("\0\r\n", 3)) && !entreComillas;
}

}  // namespace

// The input: the section, key and value written, a section and key looked
// at, each ended by a backslash and another byte; then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, std::size_t largo) {
  FuzzedDataProvider entrada(datos, largo);
  const std::string seccion = entrada.ConsumeRandomLengthString(40);
  const std::string clave = entrada.ConsumeRandomLengthString(40);
  const std::string valor = entrada.ConsumeRandomLengthString(40);
  const std::string otraSeccion = entrada.ConsumeRandomLengthString(40);
  const std::string otraClave = entrada.ConsumeRandomLengthString(40);
  DirectorioPrueba dir;
  const std::string ruta = dir.Ruta("CAPTURA.INI");
  DirectorioPrueba::Escribir(ruta, entrada.ConsumeRemainingBytesAsString());

  const std::string antes = Leer(ruta, otraSeccion, otraClave);
  if (!PerfilIni::EscribirValor(ruta, seccion, clave, valor)) std::abort();
  if (!NombreLlano(seccion) || !NombreLlano(clave)) return 0;
  if (ValorLlano(valor) && Leer(ruta, seccion, clave) != valor) std::abort();
  const bool misma =
      PerfilIni::MismoNombre(seccion, otraSeccion) && PerfilIni::MismoNombre(clave, otraClave);
  if (!misma && Leer(ruta, otraSeccion, otraClave) != antes) std::abort();
  return 0;
}
