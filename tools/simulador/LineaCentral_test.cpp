#include "simulador/LineaCentral.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "simulador/GeneradorLlamadas.h"

namespace {

std::string SinBlancos(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// 1-based substring, as the receiving side describes its fields.
std::string Medio(const std::string& s, size_t desde, size_t cuantos) {
  return s.substr(desde - 1, cuantos);
}

std::optional<int> Estricto(const std::string& s) {
  const std::string t = SinBlancos(s);
  if (t.empty() ||
      !std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c); }))
    return std::nullopt;
  return std::stoi(t);
}

// The fields as the receiving side cuts them from one line.
struct Campos {
  std::string Anexo, Discado, Fecha, Hora, Tiempo, Codigo;
  std::optional<int> ControlTiempo;
};

std::optional<Campos> Cortar(const std::string& l) {
  // 1-based positions of the four separators
  const size_t s1 = l.find('|', 6);
  if (s1 == std::string::npos) return std::nullopt;
  const size_t s2 = l.find('|', s1 + 1);
  const size_t s3 = s2 == std::string::npos ? s2 : l.find('|', s2 + 1);
  const size_t s4 = s3 == std::string::npos ? s3 : l.find('|', s3 + 1);
  if (s4 == std::string::npos) return std::nullopt;
  const size_t p1 = s1 + 1, p2 = s2 + 1, p3 = s3 + 1, p4 = s4 + 1;
  Campos c;
  c.Anexo = Medio(l, 2, 4);
  if (!SinBlancos(c.Anexo).empty() && SinBlancos(c.Anexo)[0] == '2') c.Anexo = c.Anexo.substr(1);
  c.Discado = Medio(l, p1 + 1, p2 - p1 - 1);
  c.Fecha = Medio(l, p2 + 1, 8);
  c.Hora = Medio(l, p2 + 10, 5);
  c.Tiempo = Medio(l, p3 + 1, p4 - p3 - 1);
  c.Codigo = SinBlancos(Medio(l, 76, 4));
  const auto horas = Estricto(Medio(c.Tiempo, 1, 3));
  const auto minutos = c.Tiempo.size() >= 6 ? Estricto(Medio(c.Tiempo, 5, 2)) : std::nullopt;
  if (horas && minutos) c.ControlTiempo = *horas + *minutos;
  return c;
}

LineaCentral Ejemplo() {
  LineaCentral l;
  l.Anexo = "2105";
  l.Discado = "0013055551234";
  l.Dia = 25;
  l.Mes = 12;
  l.Anio = 2023;
  l.Hora = 14;
  l.Minuto = 5;
  l.DuracionSegundos = 3 * 60 + 12;
  l.Troncal = 3;
  l.Codigo = 42;
  return l;
}

TEST(LineaCentral, LosCamposCaenDondeLosCortaLaRecepcion) {
  const std::string texto = Ejemplo().Texto();
  ASSERT_EQ(texto.size(), 80u);
  EXPECT_EQ(texto.find_first_of("\r\n"), std::string::npos);
  const auto c = Cortar(texto);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->Anexo, "105");
  EXPECT_EQ(c->Discado[0], '0');  // priced by its first character, so no blank before it
  EXPECT_EQ(SinBlancos(c->Discado), "0013055551234");
  EXPECT_EQ(c->Fecha, "25/12/23");
  EXPECT_EQ(c->Hora, "14:05");
  EXPECT_EQ(SinBlancos(c->Tiempo), "00:03:12");
  EXPECT_EQ(c->ControlTiempo, 3);
  EXPECT_EQ(c->Codigo, "0042");
}

TEST(LineaCentral, AnexoConYSinElDosDelante) {
  LineaCentral l = Ejemplo();
  l.Anexo = " 110";
  EXPECT_EQ(SinBlancos(Cortar(l.Texto())->Anexo), "110");
  l.Anexo = "2120";
  EXPECT_EQ(Cortar(l.Texto())->Anexo, "120");
}

TEST(LineaCentral, DuracionesLargasYCortas) {
  LineaCentral l = Ejemplo();
  l.DuracionSegundos = 3600 + 20;  // 1 h 0 min 20 s
  auto c = Cortar(l.Texto());
  EXPECT_EQ(SinBlancos(c->Tiempo), "01:00:20");
  EXPECT_EQ(c->ControlTiempo, 1);
  l.DuracionSegundos = 34;  // under a minute: hours and minutes both 0
  EXPECT_EQ(Cortar(l.Texto())->ControlTiempo, 0);
}

TEST(LineaCentral, UnCampoDemasiadoLargoNoCorreLosDemas) {
  LineaCentral l = Ejemplo();
  l.Discado = std::string(21, '9');
  EXPECT_THROW(l.Texto(), std::length_error);
  l = Ejemplo();
  l.Anexo = "21050";
  EXPECT_THROW(l.Texto(), std::length_error);
}

// Heading lines are 80 characters and never pass for a call: no separators,
// or a duration that is not a number.
TEST(LineaCentral, LasCabecerasNoSonLlamadas) {
  for (const std::string& cabecera : {LineaCentral::Titulo(1, 2, 2024, 9, 30),
                                      LineaCentral::Encabezado(), LineaCentral::Raya()}) {
    ASSERT_EQ(cabecera.size(), 80u) << cabecera;
    const auto c = Cortar(cabecera);
    EXPECT_TRUE(!c || !c->ControlTiempo) << cabecera;
  }
}

TEST(GeneradorLlamadas, LlamadasVariadasYValidas) {
  GeneradorLlamadas generador(7, {31, 12, 2023, 23, 50});
  std::set<std::string> clases;
  std::set<int> habitaciones;
  bool conDos = false, sinDos = false;
  std::string fechaHoraAnterior;
  for (int i = 0; i < 400; ++i) {
    const LineaCentral l = generador.Siguiente(0);
    const auto c = Cortar(l.Texto());
    ASSERT_TRUE(c) << l.Texto();
    ASSERT_TRUE(c->ControlTiempo && *c->ControlTiempo > 0) << l.Texto();
    const int habitacion = std::stoi(SinBlancos(c->Anexo));
    EXPECT_GE(habitacion, 101);
    EXPECT_LE(habitacion, 120);
    habitaciones.insert(habitacion);
    (l.Anexo[0] == '2' ? conDos : sinDos) = true;
    const std::string n = SinBlancos(c->Discado);
    if (n.rfind("0800", 0) == 0 || n.rfind("0801", 0) == 0) {
      clases.insert("gratuito");
    } else if (n.rfind("00", 0) == 0) {
      clases.insert("internacional");
    } else if (n[0] == '0') {
      clases.insert("nacional");
    } else {
      EXPECT_EQ(n.size(), 7u);
      EXPECT_GE(n[0], '2');
      clases.insert("local");
    }
    // The clock only moves forward, across midnight and the new year.
    const std::string fechaHora =
        "20" + c->Fecha.substr(6, 2) + c->Fecha.substr(3, 2) + c->Fecha.substr(0, 2) + c->Hora;
    EXPECT_GE(fechaHora, fechaHoraAnterior);
    fechaHoraAnterior = fechaHora;
  }
  EXPECT_EQ(clases.size(), 4u);
  EXPECT_EQ(habitaciones.size(), 20u);
  EXPECT_TRUE(conDos && sinDos);
  EXPECT_EQ(fechaHoraAnterior.substr(0, 4), "2024");
}

TEST(GeneradorLlamadas, LaMismaSemillaDaLasMismasLineas) {
  GeneradorLlamadas a(99, {}), b(99, {}), c(100, {});
  bool distintas = false;
  for (int i = 0; i < 20; ++i) {
    const std::string la = a.Siguiente(10).Texto();
    EXPECT_EQ(la, b.Siguiente(10).Texto());
    distintas |= la != c.Siguiente(10).Texto();
  }
  EXPECT_TRUE(distintas);
}

}  // namespace
