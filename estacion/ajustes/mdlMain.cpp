#include "estacion/ajustes/mdlMain.h"

#include <fcntl.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <utility>

#include "captura/Descriptor.h"
#include "estacion/ajustes/PerfilIni.h"

namespace mdlMain {

namespace {

// The buffer of the Windows call: 254 characters and the closing NUL.
constexpr std::size_t kTamanoBuffer = 255;

}  // namespace

std::string LeerIni(const std::string& archivo, std::string_view seccion, std::string_view clave) {
  std::string buffer(kTamanoBuffer, ' ');
  const auto n = PerfilIni::LeerValor(archivo, seccion, clave, "", buffer.data(), buffer.size());
  if (n == 0) return {};
  auto valor = QuitarNulos(buffer);
  valor.erase(valor.find_last_not_of(' ') + 1);
  return valor;
}

std::string QuitarNulos(std::string_view texto) {
  return std::string(texto.substr(0, texto.find('\0')));
}

std::optional<int16_t> AEntero16(std::string_view texto) {
  const auto inicio = texto.find_first_not_of(" \t");
  if (inicio == std::string_view::npos) return std::nullopt;
  texto = texto.substr(inicio, texto.find_last_not_of(" \t") - inicio + 1);
  // from_chars takes no "+": one plus sign is allowed here, before digits.
  const bool mas = texto.front() == '+';
  if (mas) texto.remove_prefix(1);
  if (texto.empty() || texto.front() == '+' || (mas && texto.front() == '-')) return std::nullopt;
  double numero = 0;
  const auto [resto, error] = std::from_chars(texto.data(), texto.data() + texto.size(), numero);
  if (error != std::errc() || resto != texto.data() + texto.size() || !std::isfinite(numero)) {
    return std::nullopt;
  }
  const double redondo = std::nearbyint(numero);  // halves to even
  if (redondo < INT16_MIN || redondo > INT16_MAX) return std::nullopt;
  return static_cast<int16_t>(redondo);
}

namespace {

constexpr std::pair<captura::Regional::Orden, std::string_view> kOrdenes[] = {
    {captura::Regional::Orden::DiaMesAnio, "DMA"},
    {captura::Regional::Orden::MesDiaAnio, "MDA"},
    {captura::Regional::Orden::AnioMesDia, "AMD"},
};

}  // namespace

std::optional<captura::Regional::Orden> OrdenFechaDeTexto(std::string_view texto) {
  std::string clave = QuitarBlancos(texto);
  for (char& c : clave) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const auto& [orden, nombre] : kOrdenes) {
    if (clave == nombre) return orden;
  }
  return std::nullopt;
}

std::string TextoOrdenFecha(captura::Regional::Orden orden) {
  for (const auto& [o, nombre] : kOrdenes) {
    if (o == orden) return std::string(nombre);
  }
  return {};
}

std::string QuitarBlancos(std::string_view texto) {
  const auto inicio = texto.find_first_not_of(' ');
  if (inicio == std::string_view::npos) return {};
  return std::string(texto.substr(inicio, texto.find_last_not_of(' ') - inicio + 1));
}

std::string PuertoDeTexto(std::string_view texto) {
  const auto limpio = QuitarBlancos(texto);
  const auto ultimo = limpio.find_last_not_of("0123456789");
  return ultimo == std::string::npos ? limpio : limpio.substr(ultimo + 1);
}

std::string DirectorioPrograma() {
  std::error_code ec;
  const auto programa = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return programa.parent_path().string();
  return std::filesystem::current_path(ec).string();
}

UbicacionIni UbicarArchivoIni(const std::string& directorio) {
  const std::filesystem::path dir(directorio);
  std::string hallado;
  std::error_code ec;
  for (const auto& entrada : std::filesystem::directory_iterator(dir, ec)) {
    const auto nombre = entrada.path().filename().string();
    std::error_code ecTipo;
    if (!PerfilIni::MismoNombre(nombre, kNombreArchivoIni) || !entrada.is_regular_file(ecTipo)) {
      continue;
    }
    // The exact name first, then the first in name order, whatever the
    // directory's own order.
    if (hallado.empty() || nombre == kNombreArchivoIni ||
        (hallado != kNombreArchivoIni && nombre < hallado)) {
      hallado = nombre;
    }
  }
  if (hallado.empty()) return {(dir / kNombreArchivoIni).string(), false};
  return {(dir / hallado).string(), true};
}

bool CrearArchivoVacio(const std::string& ruta) {
  Descriptor archivo(::open(
      ruta.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
  return archivo.Valido() && archivo.Cerrar();
}

int TwipsAPixeles(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

void Intentar(const std::function<void()>& paso) noexcept {
  try {
    paso();
  } catch (...) {
    // Abandoned without a message: the target keeps its value.
  }
}

}  // namespace mdlMain
