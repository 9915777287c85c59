#include "estacion/ventana/LineaComandos.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "prueba/DirectorioPrueba.h"

namespace {

struct Respuesta {
  std::optional<int> estado;
  std::string salida, errores;
  LineaComandos::Opciones opciones;
};

Respuesta Atender(std::initializer_list<const char*> argumentos) {
  std::vector<const char*> argv = {"Sentrel"};
  argv.insert(argv.end(), argumentos);
  std::ostringstream salida, errores;
  LineaComandos::Opciones opciones;
  const auto estado =
      LineaComandos::Atender(static_cast<int>(argv.size()), argv.data(), salida, errores, opciones);
  return {estado, salida.str(), errores.str(), opciones};
}

TEST(LineaComandos, AyudaVersionYArgumentoDesconocido) {
  EXPECT_EQ(Atender({}).estado, std::nullopt);

  const auto ayuda = Atender({"--help"});
  EXPECT_EQ(ayuda.estado, 0);
  EXPECT_TRUE(ayuda.salida.starts_with(
      "Uso: Sentrel [--help | --version] [--servicio] [--directorio DIR]\n"));
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

// The program directory named on the command line, as an absolute path with
// no links; anything but an existing directory refused before any start.
TEST(LineaComandos, ServicioYDirectorioDelPrograma) {
  DirectorioPrueba dir;
  const std::string real = dir.Ruta("estacion");
  std::filesystem::create_directory(real);
  std::filesystem::create_directory_symlink(real, dir.Ruta("enlace"));
  DirectorioPrueba::Escribir(dir.Ruta("archivo"), "");

  const auto dado = Atender({"--servicio", "--directorio", dir.Ruta("enlace").c_str()});
  EXPECT_EQ(dado.estado, std::nullopt) << dado.errores;
  EXPECT_EQ(dado.opciones.directorio, std::filesystem::canonical(real).string());
  EXPECT_TRUE(dado.opciones.servicio);
  EXPECT_EQ(Atender({}).opciones.directorio, "");
  EXPECT_FALSE(Atender({}).opciones.servicio);
  EXPECT_NE(Atender({"--help"}).salida.find("--directorio DIR"), std::string::npos);

  for (const auto& mal : {dir.Ruta("falta"), dir.Ruta("archivo"), std::string()}) {
    const auto rechazo = Atender({"--directorio", mal.c_str()});
    EXPECT_EQ(rechazo.estado, 2) << mal;
    EXPECT_NE(rechazo.errores.find("Sentrel: --directorio " + mal + ": "), std::string::npos)
        << rechazo.errores;
  }
  for (const auto& otro : {Atender({"--directorio"}),
                           Atender({"--directorio", real.c_str(), "--directorio", real.c_str()}),
                           Atender({"--servicio", "--servicio"})}) {
    EXPECT_EQ(otro.estado, 2);
    EXPECT_NE(otro.errores.find("argumento no reconocido"), std::string::npos);
  }
}

}  // namespace
