#include "resguardo/Bitacora.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <syslog.h>

#include <chrono>
#include <string>
#include <vector>

#include "prueba/LineaPrueba.h"

namespace {

using ::testing::ElementsAre;

// What the log shows of a call: the extension, date, time, duration and code
// whole, the dialled number from its fifth digit as "*"; the operator's own
// window has it whole. A number cut off from its field, or quoted by a driver,
// is hidden too; a driver's control bytes do not reach the log.
TEST(Bitacora, NingunNumeroDiscadoEnteroEnElRegistro) {
  const std::string linea = LineaPrueba("2105", "004944974935  ", "07/12/26", "15:12", "000:00:17");
  std::string tapada = linea.substr(0, 79);
  tapada.replace(11, 8, "********");
  EXPECT_EQ(Bitacora::TextoLinea(linea), tapada);
  EXPECT_EQ(Bitacora::TextoLineaEntera(linea), linea.substr(0, 79));
  EXPECT_EQ(Bitacora::TextoLinea("\x01"
                                 "2105 004944974935 07/12/26"),
            "?2105 0049******** 07/12/26");
  EXPECT_EQ(Bitacora::TextoFallo({-1, "23502: null value\x1b[0m\nDETAIL: (105, 004944974935)"}),
            "error -1 (0xFFFFFFFF): 23502: null value?[0m?DETAIL: (105, 0049********)");
}

// A flapping line: the first loss and return are told, the next ones within
// the minute are held back and counted, and the last held back of each is
// told once the minute is over, the line's last state last.
TEST(Bitacora, LoQueSeRepiteSeDiceUnaVezPorMinuto) {
  using namespace std::chrono_literals;
  std::vector<std::string> log;
  auto ahora = std::chrono::steady_clock::time_point{} + 1h;
  int retenidos = 0;
  Bitacora bitacora([&](int, const std::string& m) { log.push_back(m); }, [&] { return ahora; });
  bitacora.AlRetener([&] { ++retenidos; });
  for (int i = 0; i < 100; ++i) {
    bitacora.LineaPerdida("COM 1", {5, "Input/output error"});
    bitacora.LineaRecuperada("COM 1");
    ahora += 100ms;
  }
  bitacora.LineaPerdida("COM 1", {5, "Input/output error"});
  bitacora.Fin();
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(retenidos, 199);
  ASSERT_TRUE(bitacora.ProximoRepaso());
  EXPECT_EQ(*bitacora.ProximoRepaso(), std::chrono::steady_clock::time_point{} + 1h + 60s);
  bitacora.Repasar();  // not yet due
  EXPECT_EQ(log.size(), 3u);
  ahora = *bitacora.ProximoRepaso();
  bitacora.Repasar();
  EXPECT_THAT(log, ElementsAre("COM 1: línea perdida, se reintenta abrirla: error 5 (0x00000005): "
                               "Input/output error",
                               "COM 1: línea recuperada", "Detenido",
                               "COM 1: línea recuperada (y 98 más como este sin aviso)",
                               "COM 1: línea perdida, se reintenta abrirla: error 5 (0x00000005): "
                               "Input/output error (y 99 más como este sin aviso)"));
  EXPECT_FALSE(bitacora.ProximoRepaso());
}

}  // namespace
