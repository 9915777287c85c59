#pragma once

#include <optional>
#include <ostream>
#include <string>

// The station takes no arguments of its own beyond these two questions; it
// answers them before any window or display is needed.
class LineaComandos {
 public:
  // Nothing when the station should start. Otherwise the exit status:
  // --help and --version print on `salida` and give 0; anything else prints
  // the usage on `errores` and gives 2.
  static std::optional<int> Atender(int argc, const char* const* argv, std::ostream& salida,
                                    std::ostream& errores);

  static std::string Version();
  static std::string Uso();
};
