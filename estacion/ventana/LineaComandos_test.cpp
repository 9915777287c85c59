#include "estacion/ventana/LineaComandos.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Respuesta {
  std::optional<int> estado;
  std::string salida, errores;
};

Respuesta Atender(std::initializer_list<const char*> argumentos) {
  std::vector<const char*> argv = {"Sentrel"};
  argv.insert(argv.end(), argumentos);
  std::ostringstream salida, errores;
  const auto estado =
      LineaComandos::Atender(static_cast<int>(argv.size()), argv.data(), salida, errores);
  return {estado, salida.str(), errores.str()};
}

TEST(LineaComandos, AyudaVersionYArgumentoDesconocido) {
  EXPECT_EQ(Atender({}).estado, std::nullopt);

  const auto ayuda = Atender({"--help"});
  EXPECT_EQ(ayuda.estado, 0);
  EXPECT_TRUE(ayuda.salida.starts_with("Uso: Sentrel [--help | --version]\n"));
  EXPECT_EQ(ayuda.errores, "");

  const auto version = Atender({"--version"});
  EXPECT_EQ(version.estado, 0);
  EXPECT_EQ(version.salida, "Sentrel " + LineaComandos::Version() + "\n");
  EXPECT_FALSE(LineaComandos::Version().empty());

  for (const auto& otro : {Atender({"-platform"}), Atender({"--help", "x"}), Atender({""})}) {
    EXPECT_EQ(otro.estado, 2);
    EXPECT_EQ(otro.salida, "");
    EXPECT_NE(otro.errores.find("argumento no reconocido"), std::string::npos);
    EXPECT_NE(otro.errores.find("Uso: Sentrel"), std::string::npos);
  }
}

}  // namespace
