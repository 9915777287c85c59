#include "estacion/ventana/LineaComandos.h"

#include <filesystem>
#include <string_view>
#include <system_error>

std::string LineaComandos::Version() { return SENTREL_VERSION; }

std::string LineaComandos::Uso() {
  return "Uso: Sentrel [--help | --version] [--servicio] [--directorio DIR]\n"
         "Estación de captura de llamadas de la central telefónica del hotel.\n"
         "Sin argumentos abre el puerto de CAPTURA.INI (junto al programa) y registra cada\n"
         "llamada en el origen de datos ODBC Tavro_Datos; sin CAPTURA.INI abre antes la\n"
         "configuración. Fallas, inicio y fin van al registro del sistema\n"
         "(journalctl -t Sentrel).\n"
         "  --help            muestra esta ayuda y termina\n"
         "  --version         muestra la versión y termina\n"
         "  --servicio        sin ventana ni pantalla, como servicio del sistema\n"
         "                    (sentrel.service); termina con SIGTERM\n"
         "  --directorio DIR  CAPTURA.INI, el diario, la cola, el bloqueo y los enlaces\n"
         "                    COMn en DIR en lugar de junto al programa\n";
}

namespace {

// The directory as the station names it (absolute, no links), or why not.
std::optional<std::string> Directorio(std::string_view texto, std::string& motivo) {
  std::error_code ec;
  const auto ruta = std::filesystem::canonical(std::filesystem::path(texto), ec);
  if (ec) {
    motivo = ec.message();
    return std::nullopt;
  }
  if (!std::filesystem::is_directory(ruta, ec)) {
    motivo = "no es un directorio";
    return std::nullopt;
  }
  return ruta.string();
}

}  // namespace

std::optional<int> LineaComandos::Atender(int argc, const char* const* argv, std::ostream& salida,
                                          std::ostream& errores, Opciones& opciones) {
  if (argc == 2) {
    const std::string_view argumento = argv[1];
    if (argumento == "--help" || argumento == "-h") {
      salida << Uso();
      return 0;
    }
    if (argumento == "--version") {
      salida << "Sentrel " << Version() << "\n";
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view argumento = argv[i];
    if (argumento == "--servicio" && !opciones.servicio) {
      opciones.servicio = true;
      continue;
    }
    if (argumento == "--directorio" && i + 1 < argc && opciones.directorio.empty()) {
      const std::string_view texto = argv[++i];
      std::string motivo;
      const auto directorio = Directorio(texto, motivo);
      if (!directorio) {
        errores << "Sentrel: --directorio " << texto << ": " << motivo << "\n";
        return 2;
      }
      opciones.directorio = *directorio;
      continue;
    }
    errores << "Sentrel: argumento no reconocido: " << argumento << "\n" << Uso();
    return 2;
  }
  return std::nullopt;
}
