#include "estacion/ventana/LineaComandos.h"

#include <string_view>

std::string LineaComandos::Version() { return SENTREL_VERSION; }

std::string LineaComandos::Uso() {
  return "Uso: Sentrel [--help | --version]\n"
         "Estación de captura de llamadas de la central telefónica del hotel.\n"
         "Sin argumentos abre el puerto de CAPTURA.INI (junto al programa) y registra cada\n"
         "llamada en el origen de datos ODBC Tavro_Datos; sin CAPTURA.INI abre antes la\n"
         "configuración. Fallas, inicio y fin van al registro del sistema\n"
         "(journalctl -t Sentrel).\n"
         "  --help     muestra esta ayuda y termina\n"
         "  --version  muestra la versión y termina\n";
}

std::optional<int> LineaComandos::Atender(int argc, const char* const* argv, std::ostream& salida,
                                          std::ostream& errores) {
  if (argc <= 1) return std::nullopt;
  const std::string_view argumento = argv[1];
  if (argc == 2 && (argumento == "--help" || argumento == "-h")) {
    salida << Uso();
    return 0;
  }
  if (argc == 2 && argumento == "--version") {
    salida << "Sentrel " << Version() << "\n";
    return 0;
  }
  errores << "Sentrel: argumento no reconocido: " << argumento << "\n" << Uso();
  return 2;
}
