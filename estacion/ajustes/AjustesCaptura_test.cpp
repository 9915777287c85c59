#include "estacion/ajustes/AjustesCaptura.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "prueba/DirectorioPrueba.h"

namespace {

// The README's example of CAPTURA.INI lists the keys the station reads, no more, no fewer.
TEST(AjustesCaptura, ElReadmeListaCadaClave) {
  const std::string readme = DirectorioPrueba::Leer(SENTREL_RAIZ "/README.md");
  const auto inicio = readme.find("### CAPTURA.INI");
  ASSERT_NE(inicio, std::string::npos);
  const std::string texto = readme.substr(inicio, readme.find("\n## ", inicio) - inicio);
  std::set<std::string> listadas;
  std::string seccion;
  const std::regex ejemplo(R"(    (\[(\w+)\]|(\w+)=.*))");
  std::istringstream lineas(texto);
  std::smatch m;
  for (std::string linea; std::getline(lineas, linea);) {
    if (!std::regex_match(linea, m, ejemplo)) continue;
    if (m[2].matched) {
      seccion = m[2];
    } else {
      listadas.insert(seccion + "." + m[3].str());
    }
  }
  std::set<std::string> leidas;
  for (const auto& clave : AjustesCaptura::kClaves) {
    leidas.insert(std::string(clave.Seccion) + "." + std::string(clave.Nombre));
    EXPECT_EQ(&AjustesCaptura::ClaveDe(clave.Valor), &clave);
  }
  EXPECT_EQ(listadas, leidas);
}

TEST(AjustesCaptura, MinutosVaciosOInvalidosDanElValorPorOmision) {
  AjustesCaptura ajustes;
  EXPECT_EQ(ajustes.CargoAutomatico().Valor, std::chrono::minutes(30));
  EXPECT_FALSE(ajustes.CargoAutomatico().Invalido);
  ajustes.MinutosCargo = "-5";
  ajustes.MinutosSinDatos = "abc";
  EXPECT_EQ(ajustes.CargoAutomatico().Valor, std::chrono::minutes(30));
  EXPECT_TRUE(ajustes.CargoAutomatico().Invalido);
  EXPECT_EQ(ajustes.SinDatos().Valor, std::chrono::minutes(0));
  EXPECT_TRUE(ajustes.SinDatos().Invalido);
  ajustes.MinutosCargo = " 0 ";
  EXPECT_EQ(ajustes.CargoAutomatico().Valor, std::chrono::minutes(0));
  ajustes.OrdenFecha = "dd/mm";
  EXPECT_TRUE(ajustes.OrdenFechaInvalida());
  ajustes.Paridad = "None";
  ajustes.Velocidad = "9600";
  ajustes.BitsDatos = "8";
  ajustes.BitsParada = "1";
  EXPECT_EQ(ajustes.TextoLinea(), "9600,n,8,1");
}

}  // namespace
