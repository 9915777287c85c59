#include "llamadas/ReceptorLlamadas.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "prueba/LineaPrueba.h"
#include "prueba/PuertoFalso.h"
#include "prueba/TelefonoFalso.h"
#include "prueba/TelefonoPrestado.h"
#include "prueba/VentanaFalsa.h"

namespace {

using captura::Resultado;
using ::testing::ElementsAre;

class Receptor : public ::testing::Test {
 protected:
  Receptor() {
    ventana.estado.NumeroPuerto = 1;
    tel.AgregarTarifa("0114", 1.0f, 10, 1, 0.5f);
    tel.AgregarHabitacion("105", 900, 15);
    // Every call posted, with its line and what became of it.
    receptor.ManejarLineas([this](std::string_view linea, captura::_Telefono& telefono) {
      if (auto r = receptor.ProcesarLinea(linea, telefono)) {
        lineas.emplace_back(linea);
        resumenes.push_back(*r);
      }
    });
  }

  Resultado<std::unique_ptr<captura::_Telefono>> Crear() {
    ++creados;
    if (falloCreacion) return *falloCreacion;
    return std::unique_ptr<captura::_Telefono>(std::make_unique<TelefonoPrestado>(tel, vivos));
  }

  // One receive event carrying the text, and the burst's wait run out.
  void Recibir(std::string texto) {
    puerto.Entradas.push_back(std::move(texto));
    Atender(receptor);
  }
  void Atender(ReceptorLlamadas& r) {
    r.Comm1_OnComm();
    while (ventana.AcabarEspera()) r.FinEspera();
  }

  std::vector<std::string> Anexos() const {
    std::vector<std::string> anexos;
    for (const auto& c : tel.Creas) anexos.push_back(c.vAnexo);
    return anexos;
  }

  VentanaFalsa ventana;
  PuertoFalso puerto;
  TelefonoFalso tel;
  int creados = 0;
  int vivos = 0;
  std::optional<captura::Fallo> falloCreacion;
  ReceptorLlamadas receptor{ventana, puerto, [this] { return Crear(); }};
  std::vector<std::string> lineas;
  std::vector<ResumenRegistro> resumenes;

  const std::string L1 = LineaPrueba("2105", "01144412345");
  const std::string L2 = LineaPrueba(" 106", "0114000111");
  const std::string L3 = LineaPrueba(" 107", "4441234");
  const std::string kActivo = "estado:Puerto COM 1  : Activo.";
  const std::string kInactivo = "estado:Puerto COM 1   : Inactivo.";
};

TEST_F(Receptor, OtroEventoDelPuertoNoCambiaNada) {
  puerto.Evento = 3;
  Recibir(L1 + "\r\n");
  EXPECT_TRUE(ventana.Registro.empty());
  EXPECT_EQ(puerto.Entradas.size(), 1u);
  EXPECT_EQ(ventana.estado.Recibiendo, 0);
  EXPECT_EQ(creados, 0);
}

TEST_F(Receptor, PrimerEventoDeLaRafagaEsperaMedioSegundoAntesDeLeer) {
  ventana.AlProcesar = [this] { EXPECT_EQ(puerto.Entradas.size(), 1u) << "read before the wait"; };
  Recibir(L1 + "\r\n");
  ASSERT_GE(ventana.Registro.size(), 4u);
  EXPECT_EQ(ventana.Registro.front(), kActivo);
  EXPECT_EQ(ventana.Registro.at(ventana.Registro.size() - 2), "timer:1");
  EXPECT_EQ(ventana.Registro.back(), "llegada:" + L1 + "\r\n");
  EXPECT_NEAR(ventana.Esperado, 0.5, 0.01);
  EXPECT_EQ(ventana.estado.Recibiendo, 1);
  EXPECT_EQ(tel.Creas.size(), 1u);
  EXPECT_EQ(vivos, 0);  // released at the end of the event

  // Within the same burst: no status text, no wait.
  ventana.Registro.clear();
  ventana.estado.ContadorEspera = 1;
  Recibir(L2 + "\r\n");
  EXPECT_THAT(ventana.Registro, ElementsAre("llegada:" + L2 + "\r\n"));
  EXPECT_EQ(ventana.estado.ContadorEspera, 0);
  EXPECT_NEAR(ventana.Esperado, 0.5, 0.01);
}

// The wait at a burst's start is one timer of the owner's, not a loop: the
// handler returns at once, reading nothing.
TEST_F(Receptor, LaEsperaDeInicioEsUnTemporizadorYNoUnBucle) {
  puerto.Entradas = {L1 + "\r\n"};
  receptor.Comm1_OnComm();
  EXPECT_EQ(ventana.Espera, std::chrono::milliseconds(500));
  EXPECT_EQ(puerto.Entradas.size(), 1u);
  // A second event in the wait starts no other wait.
  receptor.Comm1_OnComm();
  EXPECT_EQ(std::count(ventana.Registro.begin(), ventana.Registro.end(), "eventos"), 1);
  ASSERT_TRUE(ventana.AcabarEspera());
  receptor.FinEspera();
  EXPECT_TRUE(puerto.Entradas.empty());
  // A late end of a wait already over changes nothing.
  const auto registro = ventana.Registro;
  receptor.FinEspera();
  EXPECT_EQ(ventana.Registro, registro);
}

TEST_F(Receptor, RafagaVencidaSeCierraYSeAbreOtra) {
  ventana.estado.Recibiendo = 1;
  ventana.estado.ContadorEspera = 2;
  Recibir(L1 + "\r\n");
  ASSERT_GE(ventana.Registro.size(), 5u);
  EXPECT_THAT(std::vector<std::string>(ventana.Registro.begin(), ventana.Registro.begin() + 5),
              ElementsAre("timer:0", "llegada:", kInactivo, kActivo, "eventos"));
  EXPECT_EQ(ventana.estado.Recibiendo, 1);
  EXPECT_TRUE(ventana.TimerCheck);

  ventana.Registro.clear();
  ventana.estado.ContadorEspera = 1;
  Recibir(L2 + "\r\n");
  EXPECT_THAT(ventana.Registro, ElementsAre("llegada:" + L2 + "\r\n"));
}

TEST_F(Receptor, FechaIlegibleSeAvisaUnaVezPorRafaga) {
  std::vector<std::string> avisadas;
  receptor.AvisarFechaIlegible([&](std::string_view l) { avisadas.emplace_back(l); });
  const std::string buena = LineaPrueba("2105", "0114441234", "12/31/26");  // C: month first
  const std::string mala1 = LineaPrueba("2105", "0114441234", "32/12/26");
  const std::string mala2 = LineaPrueba(" 106", "0114441234", "13/13/26");
  Recibir(buena + "\r\n" + mala1 + "\r\n" + mala2 + "\r\n");
  Recibir(mala2 + "\r\n");
  EXPECT_THAT(avisadas, ElementsAre(mala1));
  EXPECT_EQ(lineas.size(), 4u);  // posted all the same, with no date

  ventana.estado.Recibiendo = 0;  // the burst ended
  Recibir(mala2 + "\r\n");
  EXPECT_THAT(avisadas, ElementsAre(mala1, mala2));
}

TEST_F(Receptor, LineasConRetornoYSaltoCadaUnaSusOchentaCaracteres) {
  Recibir(L1 + "\r\n" + L2 + "\r\n" + L3 + "\r\n");
  EXPECT_THAT(lineas, ElementsAre(L1, L2, L3));
  EXPECT_THAT(Anexos(), ElementsAre("105", "106", "107"));
  EXPECT_EQ(creados, 1);
}

TEST_F(Receptor, RetornoEnLaPosicion80NoDaLinea81Si) {
  Recibir(L1.substr(1) + "\r\n" + L2.substr(0, 20));
  EXPECT_TRUE(lineas.empty());

  ReceptorLlamadas otro(ventana, puerto, [this] { return Crear(); });
  puerto.Entradas.push_back(L1 + "\r");
  Atender(otro);
  EXPECT_THAT(Anexos(), ElementsAre("105"));
}

TEST_F(Receptor, CabeceraSeLeeDesdeElCaracter330SinElUltimo) {
  // 400 characters: 329 of header, 70 of a line, one dropped at the end.
  const std::string cabecera = "^" + std::string(328, 'h') + L1.substr(0, 70) + "Z";
  ASSERT_EQ(cabecera.size(), 400u);
  Recibir(cabecera);
  EXPECT_TRUE(tel.Creas.empty());
  EXPECT_EQ(receptor.Pendiente(), L1.substr(0, 70));
  EXPECT_EQ(ventana.Llegada, cabecera);
  Recibir(L1.substr(70) + "\r\n");
  EXPECT_THAT(lineas, ElementsAre(L1));

  // A header text of 330 characters or less holds nothing; it is still shown.
  const std::string corta = "^" + std::string(250, 'h') + L2 + "\r";
  Recibir(corta);
  EXPECT_EQ(lineas.size(), 1u);
  EXPECT_EQ(ventana.Llegada, corta);
}

TEST_F(Receptor, LineaPartidaEntreDosEventosSeRegistraUnaVez) {
  Recibir(L1 + "\r\n" + L2.substr(0, 33));
  EXPECT_THAT(Anexos(), ElementsAre("105"));
  Recibir(L2.substr(33) + "\r\n" + L3.substr(0, 79));
  EXPECT_THAT(Anexos(), ElementsAre("105", "106"));
  Recibir("");  // nothing read: the carried text waits
  Recibir(L3.substr(79) + "\r");
  Recibir("\n");
  EXPECT_THAT(lineas, ElementsAre(L1, L2, L3));
  EXPECT_EQ(ventana.Llegada, "\n");
}

// An exchange that right-aligns short extensions and ends lines with CR
// alone: one call in a burst of its own is a whole line all the same.
TEST_F(Receptor, LineaSolaQueEmpiezaConBlancos) {
  // 78 characters once its three leading blanks are trimmed.
  const std::string linea = LineaPrueba("  15", "0114000222");
  Recibir(linea + "\r");
  EXPECT_THAT(lineas, ElementsAre(linea));
  Recibir(std::string(40, ' ') + "\r");  // a short fragment
  Recibir("\r");                         // a lone line end
  EXPECT_THAT(Anexos(), ElementsAre("15"));
}

// A NUL from line noise in the dialled number: a blank in what is posted,
// the line as received on screen and to whoever is told.
TEST_F(Receptor, BytesDeControlSonBlancosEnLosCampos) {
  std::vector<std::string> avisadas;
  receptor.AlQuitarControles([&](std::string_view l) { avisadas.emplace_back(l); });
  std::string ruido = LineaPrueba(" 106", "0114000111");
  ruido[12] = '\0';
  Recibir(ruido + "\r\n" + L3 + "\r\n");
  ASSERT_EQ(tel.Creas.size(), 2u);
  EXPECT_EQ(tel.Creas[0].vDiscado, "01140 0111");
  EXPECT_THAT(avisadas, ElementsAre(ruido));
  EXPECT_EQ(ventana.Llegada, ruido + "\r\n" + L3 + "\r\n");
}

TEST_F(Receptor, SoloLaUltimaLineaSeArrastra) {
  // A line that begins with blanks and whose carriage return comes alone.
  const std::string blancos = LineaPrueba("  15", "0114000222");
  Recibir(std::string(500, 'x') + blancos);
  EXPECT_EQ(receptor.Pendiente(), blancos);
  Recibir("\r\n");
  EXPECT_THAT(lineas, ElementsAre(blancos));
  EXPECT_EQ(receptor.Pendiente(), "\n");
}

TEST_F(Receptor, RafagaDeMuchasLineasEnOrden) {
  std::string texto;
  for (int i = 0; i < 300; ++i) {
    texto += LineaPrueba(std::to_string(1000 + i), "0114" + std::to_string(100000 + i)) + "\r\n";
  }
  Recibir(texto);
  ASSERT_EQ(tel.Creas.size(), 300u);
  EXPECT_EQ(tel.Creas.front().vAnexo, "1000");
  EXPECT_EQ(tel.Creas.back().vAnexo, "1299");
  EXPECT_EQ(tel.Creas.back().vDiscado, "0114100299");
  EXPECT_EQ(creados, 1);
  EXPECT_EQ(vivos, 0);
}

TEST_F(Receptor, SinDatosNoCreaTelefonoNiMuestra) {
  Recibir("");
  EXPECT_EQ(creados, 0);
  EXPECT_EQ(ventana.Registro.front(), kActivo);
  EXPECT_EQ(ventana.Registro.back(), "timer:1");
  EXPECT_TRUE(std::none_of(ventana.Registro.begin(), ventana.Registro.end(),
                           [](const std::string& r) { return r.starts_with("llegada:"); }));
}

TEST_F(Receptor, TelefonoQueNoSeCreaFallaCadaPaso) {
  falloCreacion = captura::Fallo{429, "ActiveX component can't create object"};
  Recibir(L1 + "\r\n" + L2 + "\r\n");
  ASSERT_EQ(resumenes.size(), 2u);
  EXPECT_THAT(lineas, ElementsAre(L1, L2));
  for (const auto& r : resumenes) {
    EXPECT_FALSE(r.LlamadaGuardada);
    ASSERT_FALSE(r.Fallidos.empty());
    EXPECT_EQ(r.Fallidos.back().Fallo.Numero, 429);
  }
  EXPECT_TRUE(tel.Orden.empty());
  EXPECT_EQ(ventana.Llegada, L1 + "\r\n" + L2 + "\r\n");
}

// An event raised during the start-of-burst wait runs after the first one
// returns, never inside it: nested, each would wait again and none would read.
TEST_F(Receptor, EventoDuranteLaEsperaSeAtiendeDespuesNuncaDentro) {
  puerto.Entradas = {L1 + "\r\n", L2 + "\r\n"};
  bool enEspera = false;
  ventana.AlProcesar = [&] {
    enEspera = true;
    receptor.Comm1_OnComm();
    enEspera = false;
  };
  receptor.ManejarLineas([&](std::string_view linea, captura::_Telefono& telefono) {
    EXPECT_FALSE(enEspera) << "a line handled inside the wait";
    receptor.ProcesarLinea(linea, telefono);
  });
  Atender(receptor);
  EXPECT_EQ(std::count(ventana.Registro.begin(), ventana.Registro.end(), kActivo), 1);
  EXPECT_EQ(std::count(ventana.Registro.begin(), ventana.Registro.end(), "timer:1"), 1);
  EXPECT_NEAR(ventana.Esperado, 0.5, 0.01);
  EXPECT_THAT(Anexos(), ElementsAre("105", "106"));
  EXPECT_EQ(ventana.Llegada, L2 + "\r\n");
}

// The burst's status texts the ticks showed.
std::vector<std::string> Ticks(ReceptorLlamadas& rafaga, VentanaFalsa& v, int n) {
  v.Registro.clear();
  for (int i = 0; i < n; ++i) rafaga.TimerCheck_Timer();
  std::vector<std::string> estados;
  for (const auto& r : v.Registro) {
    if (r.starts_with("estado:")) estados.push_back(r.substr(7));
  }
  return estados;
}

std::string Estado(int puerto, const char* sufijo) {
  return "Puerto COM " + std::to_string(puerto) + sufijo;
}

TEST_F(Receptor, ElTickTerminaLaRafagaAlTiempoConfigurado) {
  ventana.estado = {1, 0, 2, ""};
  ventana.TimerCheck = true;
  ventana.estado.TiempoConexion = 3;
  EXPECT_EQ(Ticks(receptor, ventana, 3),
            (std::vector<std::string>{Estado(2, "  : Activo."),
                                      Estado(2, "  : Esperando el tiempo de termino del envio."),
                                      Estado(2, "  : Esperando el tiempo de termino del envio."),
                                      Estado(2, "    : Inactivo.")}));
  EXPECT_FALSE(ventana.TimerCheck);
  EXPECT_EQ(ventana.Llegada, "");
  EXPECT_EQ(ventana.estado.Recibiendo, 0);
  EXPECT_EQ(ventana.estado.ContadorEspera, 1);

  ventana.estado = {1, 0, 2, ""};
  ventana.estado.TiempoConexion = 1;
  EXPECT_EQ(Ticks(receptor, ventana, 1),
            (std::vector<std::string>{Estado(2, "  : Activo."), Estado(2, "    : Inactivo.")}));
  // A line lost meanwhile is what the status line keeps saying.
  puerto.Perdida = true;
  ventana.estado = {1, 0, 2, ""};
  ventana.estado.TiempoConexion = 1;
  EXPECT_EQ(Ticks(receptor, ventana, 1),
            std::vector<std::string>(2, Estado(2, "  : Sin conexion, se reintenta.")));
}

TEST_F(Receptor, SinTiempoValidoLaRafagaNoTerminaPorTick) {
  ventana.estado = {1, 0, 1, ""};
  ventana.estado.TiempoConexion = 0;
  Ticks(receptor, ventana, 5);
  EXPECT_EQ(ventana.estado.Recibiendo, 1);
  EXPECT_EQ(ventana.estado.ContadorEspera, 5);

  // A lowered time-out that the counter has already passed.
  ventana.estado.TiempoConexion = 3;
  Ticks(receptor, ventana, 3);
  EXPECT_EQ(ventana.estado.Recibiendo, 1);

  ventana.estado.ContadorEspera = 32767;
  receptor.TimerCheck_Timer();
  EXPECT_EQ(ventana.estado.ContadorEspera, 32767);
}

// Bytes waiting when the tick comes are read before it tests the burst's end.
TEST_F(Receptor, UnaRecepcionDuranteElTickImpideElFin) {
  ventana.estado = {1, 0, 1, ""};
  ventana.estado.TiempoConexion = 1;
  puerto.Entradas = {L1 + "\r\n"};
  EXPECT_EQ(Ticks(receptor, ventana, 1), std::vector<std::string>{Estado(1, "  : Activo.")});
  EXPECT_THAT(Anexos(), ElementsAre("105"));
  EXPECT_EQ(ventana.estado.Recibiendo, 1);
  EXPECT_EQ(ventana.estado.ContadorEspera, 0);
}

// A stream across two bursts: the first event shows "Activo" and only starts
// the wait, holding the port's notices; what came meanwhile is read after it,
// in order; silent ticks wait, the time-out ends the burst, and the next
// event opens another.
TEST_F(Receptor, LaRafagaPasaPorSusEstadosBajoUnFlujo) {
  ventana.estado.TiempoConexion = 2;
  puerto.Entradas = {L1 + "\r\n"};
  receptor.Comm1_OnComm();
  EXPECT_TRUE(receptor.EnEspera());
  EXPECT_TRUE(puerto.Retenidos);
  EXPECT_EQ(ventana.Espera, ReceptorLlamadas::kEsperaInicio);
  EXPECT_TRUE(Anexos().empty());
  puerto.Entradas.push_back(L2 + "\r\n");
  receptor.Comm1_OnComm();  // during the wait: after it
  EXPECT_TRUE(Anexos().empty());
  ASSERT_TRUE(ventana.AcabarEspera());
  receptor.FinEspera();
  EXPECT_FALSE(receptor.EnEspera());
  EXPECT_FALSE(puerto.Retenidos);
  EXPECT_THAT(Anexos(), ElementsAre("105", "106"));
  puerto.Entradas = {L3 + "\r\n"};
  receptor.TimerCheck_Timer();  // reads the line that waits: the burst goes on
  EXPECT_THAT(Anexos(), ElementsAre("105", "106", "107"));
  receptor.TimerCheck_Timer();
  receptor.TimerCheck_Timer();
  EXPECT_EQ(ventana.estado.Recibiendo, 0);
  EXPECT_THAT(ventana.Registro,
              ElementsAre(kActivo, "eventos", "timer:1", "llegada:" + L1 + "\r\n",
                          "llegada:" + L2 + "\r\n", kActivo, "llegada:" + L3 + "\r\n", kActivo,
                          "estado:Puerto COM 1  : Esperando el tiempo de termino del envio.",
                          "timer:0", "llegada:", "estado:Puerto COM 1    : Inactivo."));
  ventana.Registro.clear();
  Recibir(L1 + "\r\n");
  EXPECT_EQ(ventana.Registro.front(), kActivo);
  EXPECT_EQ(ventana.estado.Recibiendo, 1);
}

// A huge event is framed whole, but the pane gets only its end.
TEST_F(Receptor, EventoEnormeSeEnmarcaEnteroYElPanelMuestraSuFinal) {
  std::string enorme(3 * ReceptorLlamadas::kMaximoLlegada, 'x');
  enorme += "\r\n" + L1 + "\r\n";
  Recibir(enorme);
  EXPECT_THAT(Anexos(), ElementsAre("105"));
  EXPECT_EQ(ventana.Llegada.size(), ReceptorLlamadas::kMaximoLlegada);
  EXPECT_TRUE(ventana.Llegada.ends_with(L1 + "\r\n"));
}

// Each event's last carriage return is reported done with its place in the
// received stream, across events, headers and carried lines, once the
// database has flushed the event's rows; never while it has not.
TEST_F(Receptor, CadaEventoSeCompletaHastaSuUltimoRetornoAsegurado) {
  std::vector<uint64_t> completadas;
  std::vector<std::string> manejadas;
  receptor.AlCompletarLinea([&](uint64_t p) { completadas.push_back(p); });
  receptor.ManejarLineas(
      [&](std::string_view linea, captura::_Telefono&) { manejadas.emplace_back(linea); });
  const std::string a = L1 + "\r\n";
  Recibir(a + L1.substr(0, 30));                  // 82 bytes, then a split line
  Recibir(L1.substr(30) + "\r\n" + "corta\r\n");  // the rest of it, then a short line
  EXPECT_THAT(completadas, ElementsAre(81u, 82 + 30 + 50 + 2 + 6));
  // The short line takes in the end of the one before it, as any short line
  // does; its line end is handled as blanks.
  ASSERT_EQ(manejadas.size(), 3u);
  EXPECT_EQ(manejadas[0], L1);
  EXPECT_EQ(manejadas[1], L1);
  EXPECT_TRUE(manejadas[2].ends_with("  corta"));
  EXPECT_TRUE(tel.Creas.empty());  // the handler took the lines

  completadas.clear();
  const uint64_t inicio = 82 + 82 + 7;
  Recibir("^" + std::string(328, 'x') + a + "z");  // header block: read from character 330
  EXPECT_THAT(completadas, ElementsAre(inicio + 329 + 81));

  completadas.clear();
  tel.Fallar("Asegurar", {captura::kErrorSentencia, "HY000: disk I/O error"});
  Recibir(a);
  EXPECT_TRUE(completadas.empty());
}

TEST_F(Receptor, TextoRecuperadoSeEnmarcaSinRafagaNiPantalla) {
  std::vector<uint64_t> completadas;
  receptor.AlCompletarLinea([&](uint64_t p) { completadas.push_back(p); });
  receptor.ProcesarRecuperado(L1 + "\r\n" + L1.substr(0, 10), 1000);
  EXPECT_THAT(completadas, ElementsAre(1081u));
  EXPECT_EQ(tel.Creas.size(), 1u);
  EXPECT_EQ(ventana.estado.Recibiendo, 0);
  EXPECT_TRUE(ventana.Registro.empty());
}

// The head of one call, a gap, the tail of another: together they make a
// valid line for a call nobody made. Neither is posted; the head is told
// once; the whole lines after the gap are posted. A restart's recovered
// tail is cut the same way from what the port brings next.
TEST_F(Receptor, NadaSeUneAtravesDeUnHueco) {
  std::vector<std::string> cortadas;
  receptor.AlCortarLinea([&](std::string_view l) { cortadas.emplace_back(l); });
  Recibir(L1.substr(0, 30));
  puerto.Saltar();
  Recibir(L2.substr(30) + "\r\n" + L3 + "\r\n");
  EXPECT_THAT(lineas, ElementsAre(L3));
  EXPECT_THAT(cortadas, ElementsAre(L1.substr(0, 30)));

  receptor.ProcesarRecuperado(L2 + "\r\n" + L1.substr(0, 30), 1000000);
  Recibir(L2.substr(30) + "\r\n");
  EXPECT_THAT(lineas, ElementsAre(L3, L2));
  EXPECT_THAT(cortadas, ElementsAre(L1.substr(0, 30), L1.substr(0, 30)));

  // A blank end is not told; contiguous bytes still join.
  Recibir(std::string(20, ' '));
  puerto.Saltar();
  Recibir(L1.substr(0, 30));
  Recibir(L1.substr(30) + "\r\n");
  EXPECT_THAT(lineas, ElementsAre(L3, L2, L1));
  EXPECT_EQ(cortadas.size(), 2u);
}

TEST(TextoEstado, NumeroDePuertoSinCeros) {
  EXPECT_EQ(ReceptorLlamadas::TextoEstado(1, ReceptorLlamadas::kSufijoActivo),
            "Puerto COM 1  : Activo.");
  EXPECT_EQ(ReceptorLlamadas::TextoEstado(12, ReceptorLlamadas::kSufijoInactivo),
            "Puerto COM 12   : Inactivo.");
}

}  // namespace
