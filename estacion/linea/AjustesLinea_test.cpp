#include "estacion/linea/AjustesLinea.h"

#include <gtest/gtest.h>

namespace {

tcflag_t Control(const std::string& texto) {
  auto ajustes = AjustesLinea::Leer(texto);
  EXPECT_TRUE(ajustes.Ok()) << texto;
  return ajustes ? ajustes.Dato().Control() : 0;
}

TEST(AjustesLinea, TraduceVelocidadParidadDatosYParada) {
  auto ajustes = AjustesLinea::Leer("9600,n,8,1");
  ASSERT_TRUE(ajustes);
  EXPECT_EQ(ajustes.Dato().Velocidad(), B9600);
  EXPECT_EQ(ajustes.Dato().Control(), CS8);

  EXPECT_EQ(Control("9600,e,7,2"), CS7 | PARENB | CSTOPB);
  EXPECT_EQ(Control("1200,o,7,1"), CS7 | PARENB | PARODD);
  EXPECT_EQ(Control("2400,m,7,1"), CS7 | PARENB | PARODD | CMSPAR);
  EXPECT_EQ(Control("2400,s,8,1"), CS8 | PARENB | CMSPAR);
  EXPECT_EQ(Control("110,n,5,1.5"), CS5 | CSTOPB);
  EXPECT_EQ(Control("300,E,6,1"), CS6 | PARENB);
  EXPECT_EQ(AjustesLinea::Leer("921600,n,8,1").Dato().Velocidad(), B921600);
}

TEST(AjustesLinea, RechazaLoQueNoSePuedeLlevarAlPuerto) {
  for (const char* malo : {
           "",              // nothing
           "9600,n,8",      // a field missing
           "9600,n,8,1,1",  // one too many
           ",n,8,1",        // empty speed
           "9600,,8,1",     // empty parity, as an empty pari key leaves it
           "9600,n,,1",     // empty data bits
           "9600,n,8,",     // empty stop bits
           "9600,x,8,1",    // unknown letter
           "9600,no,8,1",   // a word, not a letter
           "abc,n,8,1",     // not a number
           " 9600,n,8,1",   // blanks are not digits
           "9600.5,n,8,1",  // nor is a fraction
           "-9600,n,8,1",
           "9601,n,8,1",  // a speed no device here runs at
           "14400,n,8,1",
           "99999999999999999999,n,8,1",
           "9600,n,4,1",  // data bits out of range
           "9600,n,9,1",
           "9600,n,8,3",    // stop bits
           "9600,n,8,1.5",  // 1.5 stop bits exist only with 5 data bits
           "9600,n,8,0",
       }) {
    auto ajustes = AjustesLinea::Leer(malo);
    EXPECT_FALSE(ajustes.Ok()) << '"' << malo << '"';
    if (!ajustes) {
      EXPECT_FALSE(ajustes.Falla().Descripcion.empty());
    }
  }
}

TEST(AjustesLinea, AplicarDejaLaLineaCrudaYConservadosLaComprueba) {
  const auto ajustes = AjustesLinea::Leer("19200,e,7,2").Dato();
  termios t{};
  t.c_iflag = ICRNL | IXON;
  t.c_lflag = ICANON | ECHO;
  t.c_cflag = CRTSCTS;
  ajustes.Aplicar(t);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_TRUE(ajustes.Conservados(t));

  termios forzado = t;  // what a pseudo-terminal leaves: 8 bits, no parity
  forzado.c_cflag = (forzado.c_cflag & ~(CSIZE | PARENB)) | CS8;
  EXPECT_FALSE(ajustes.Conservados(forzado));
  termios otraVelocidad = t;
  cfsetspeed(&otraVelocidad, B9600);
  EXPECT_FALSE(ajustes.Conservados(otraVelocidad));
}

}  // namespace
