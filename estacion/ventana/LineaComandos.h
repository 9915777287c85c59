#pragma once

#include <optional>
#include <ostream>
#include <string>

// The station's own arguments; the questions among them are answered before
// any window or display is needed.
class LineaComandos {
 public:
  // How the station starts when it does.
  struct Opciones {
    // The program directory instead of the executable's; empty when not given.
    std::string directorio;
    // As a system service: no window, no display.
    bool servicio = false;
  };

  // Nothing when the station should start, with `opciones` filled. Otherwise
  // the exit status: --help and --version print on `salida` and give 0;
  // anything else, or a --directorio that is no directory, prints on
  // `errores` and gives 2.
  static std::optional<int> Atender(int argc, const char* const* argv, std::ostream& salida,
                                    std::ostream& errores, Opciones& opciones);

  static std::string Version();
  static std::string Uso();
};
