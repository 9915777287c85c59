#include "estacion/nucleo/VigiaSilencio.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(VigiaSilencio, AlarmaTrasElLimiteHastaElSiguienteDato) {
  VigiaSilencio::Instante ahora{};
  VigiaSilencio vigia([&] { return ahora; });
  EXPECT_FALSE(vigia.Revisar());  // off: never an alarm
  ahora += 10h;
  EXPECT_FALSE(vigia.Revisar());

  vigia.Limite(60min);
  vigia.Reiniciar();
  ahora += 59min;
  EXPECT_FALSE(vigia.Revisar());
  ahora += 1min;
  EXPECT_TRUE(vigia.Revisar());
  EXPECT_TRUE(vigia.EnAlarma());
  EXPECT_FALSE(vigia.Revisar()) << "told once";
  ahora += 30min;
  EXPECT_EQ(vigia.Silencio(), 90min);

  EXPECT_TRUE(vigia.Dato());
  EXPECT_FALSE(vigia.EnAlarma());
  EXPECT_FALSE(vigia.Dato());
  ahora += 59min;
  EXPECT_FALSE(vigia.Revisar());  // counted from the last byte
  ahora += 1min;
  EXPECT_TRUE(vigia.Revisar());

  vigia.Limite(0min);  // switched off in the dialog
  EXPECT_FALSE(vigia.EnAlarma());
  ahora += 10h;
  EXPECT_FALSE(vigia.Revisar());
}

}  // namespace
