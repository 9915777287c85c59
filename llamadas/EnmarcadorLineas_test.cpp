#include "llamadas/EnmarcadorLineas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "prueba/LineaPrueba.h"

namespace {

std::vector<std::string> Lineas(const std::vector<std::string_view>& trozos) {
  EnmarcadorLineas enmarcador;
  std::vector<std::string> lineas;
  for (const auto trozo : trozos) {
    enmarcador.Enmarcar(trozo, [&](std::string_view linea, std::size_t) {
      if (!linea.empty()) lineas.emplace_back(linea);
    });
  }
  return lineas;
}

// The same contiguous stream gives the same lines however it is split into
// reads, also when a stray carriage return sits in a call's padding.
TEST(EnmarcadorLineas, LasLineasNoDependenDeComoSeParteLaLectura) {
  std::string conRetorno = LineaPrueba("2105", "01144412345");
  conRetorno[60] = '\r';
  const std::string flujo = "\r\n" + LineaPrueba(" 106", "0114000111") + "\r\n" + conRetorno +
                            "\r\n" + std::string(12, 'x') + "\r" + LineaPrueba(" 107", "4441") +
                            "\r\n";
  const auto entero = Lineas({flujo});
  ASSERT_GE(entero.size(), 3u);
  EXPECT_THAT(entero, ::testing::Contains(conRetorno));

  std::mt19937 azar(20261207);
  for (int prueba = 0; prueba < 500; ++prueba) {
    std::vector<std::size_t> cortes{0, flujo.size()};
    const int n = std::uniform_int_distribution<int>(1, 6)(azar);
    for (int i = 0; i < n; ++i) {
      cortes.push_back(std::uniform_int_distribution<std::size_t>(0, flujo.size())(azar));
    }
    std::sort(cortes.begin(), cortes.end());
    std::vector<std::string_view> trozos;
    for (std::size_t i = 1; i < cortes.size(); ++i) {
      trozos.push_back(std::string_view(flujo).substr(cortes[i - 1], cortes[i] - cortes[i - 1]));
    }
    ASSERT_EQ(Lineas(trozos), entero) << "split " << ::testing::PrintToString(cortes);
  }
}

}  // namespace
