#include "resguardo/GestorPendientes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <syslog.h>

#include "prueba/DirectorioPrueba.h"
#include "prueba/LineaPrueba.h"
#include "prueba/PuertoFalso.h"
#include "prueba/TelefonoFalso.h"
#include "prueba/TelefonoPrestado.h"
#include "prueba/VentanaFalsa.h"

namespace {

using captura::Fallo;
using captura::Resultado;
using std::chrono::milliseconds;
using std::chrono::seconds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const Fallo kSinConexion{captura::kErrorConexion, "08001: could not connect to server"};
const Fallo kTiempoAgotado{captura::kErrorTiempo, "HYT00: Query timeout expired"};

class Gestor : public ::testing::Test {
 protected:
  Gestor() {
    tel.AgregarTarifa("0051", 2.0f, 10, 1, 0.5f);
    tel.AgregarTarifa("0099", 2.0f, 11, 300, 0.5f);  // a currency Crea cannot take
    for (int h = 100; h < 110; ++h) tel.AgregarHabitacion(std::to_string(h), 5000 + h, h);
    gestor->Conectar();
    gestor->AlCambiar([this] { ++avisos; });
  }

  // Distinct calls: extension 100-109, charged (price and reservation).
  static std::string Linea(int i, const std::string& prefijo = "0051") {
    char hora[6];
    std::snprintf(hora, sizeof hora, "%02d:%02d", 10 + i / 60, i % 60);
    return LineaPrueba(" " + std::to_string(100 + i % 10), prefijo + std::to_string(4000 + i),
                       "07/12/26", hora, "000:02:10");
  }

  void Recibir(const std::string& linea) { receptor.ProcesarRecuperado(linea + "\r\n", 0); }
  void Avanzar(milliseconds d) { ahora += d; }

  Resultado<std::unique_ptr<captura::_Telefono>> Crear() {
    if (falloCreacion) return *falloCreacion;
    return std::unique_ptr<captura::_Telefono>(std::make_unique<TelefonoPrestado>(tel, vivos));
  }

  std::vector<std::string> Guardadas() const {
    std::vector<std::string> r;
    for (const auto& c : tel.LlamadasGuardadas) r.push_back(c.vDiscado);
    return r;
  }
  std::vector<std::string> Cargadas() const {
    std::vector<std::string> r;
    for (const auto& c : tel.CargosGuardados) r.push_back(c.vDiscado);
    return r;
  }
  int Mensajes(int prioridad) const {
    return static_cast<int>(std::count_if(bitacora.begin(), bitacora.end(),
                                          [&](const auto& m) { return m.first == prioridad; }));
  }
  // As at the next start: the queue loaded again from its file.
  void Reabrir() {
    gestor.reset();
    cola = std::make_unique<ColaPendientes>(dir.Ruta(ColaPendientes::kArchivo));
    gestor = std::make_unique<GestorPendientes>(
        receptor, *cola, registro, [this] { return Crear(); }, [this] { return ahora; },
        [this] { return civil; });
    gestor->Conectar();
  }
  milliseconds HastaProximo() const {
    return std::chrono::duration_cast<milliseconds>(*gestor->ProximoIntento() - ahora);
  }

  DirectorioPrueba dir;
  VentanaFalsa ventana;
  PuertoFalso puerto;
  TelefonoFalso tel;
  int vivos = 0;
  std::optional<Fallo> falloCreacion;
  ReceptorLlamadas receptor{ventana, puerto, [this] { return Crear(); }};
  std::unique_ptr<ColaPendientes> cola =
      std::make_unique<ColaPendientes>(dir.Ruta(ColaPendientes::kArchivo));
  std::vector<std::pair<int, std::string>> bitacora;
  Bitacora registro{[this](int p, const std::string& m) { bitacora.emplace_back(p, m); }};
  GestorPendientes::Instante ahora{};
  std::chrono::system_clock::time_point civil = std::chrono::system_clock::now();
  std::unique_ptr<GestorPendientes> gestor = std::make_unique<GestorPendientes>(
      receptor, *cola, registro, [this] { return Crear(); }, [this] { return ahora; },
      [this] { return civil; });
  int avisos = 0;
};

TEST_F(Gestor, SinNadaPendienteCadaLineaSeRegistraComoSiempre) {
  TelefonoFalso solo;
  solo.AgregarTarifa("0051", 2.0f, 10, 1, 0.5f);
  for (int h = 100; h < 110; ++h) solo.AgregarHabitacion(std::to_string(h), 5000 + h, h);
  ReceptorLlamadas comun(ventana, puerto, nullptr);
  for (int i = 0; i < 3; ++i) {
    Recibir(Linea(i));
    comun.ProcesarLinea(Linea(i), solo);
  }
  Recibir(std::string(80, ' '));     // not a call
  EXPECT_EQ(tel.Orden, solo.Orden);  // the same service calls, no look-ups added
  EXPECT_EQ(Guardadas().size(), 3u);
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_FALSE(gestor->ProximoIntento());
  EXPECT_TRUE(bitacora.empty());
  EXPECT_EQ(avisos, 0);
  EXPECT_EQ(std::filesystem::file_size(cola->Ruta()), 8u);
}

TEST_F(Gestor, LaBaseCaidaRetieneLasLineasYLasRegistraEnOrdenAlVolver) {
  tel.Fallar("Crea", kSinConexion);
  Recibir(Linea(0));  // the charge went in, the call did not
  ASSERT_EQ(gestor->Pendientes(), 1u);
  EXPECT_EQ(HastaProximo(), seconds(2));
  ASSERT_EQ(bitacora.size(), 1u);
  EXPECT_EQ(bitacora[0].first, LOG_WARNING);
  EXPECT_THAT(bitacora[0].second, HasSubstr("error -2147467259 (0x80004005): 08001: could not"));
  // The dialled number shows only its first 4 digits.
  EXPECT_THAT(bitacora[0].second, HasSubstr("| línea:   100 |0051****|07/12/26 10:00|000:02:10|"));

  // New calls wait behind it untried: the database is not asked per call.
  const std::size_t llamadas = tel.Orden.size();
  for (int i = 1; i < 4; ++i) Recibir(Linea(i));
  EXPECT_EQ(tel.Orden.size(), llamadas);
  EXPECT_EQ(gestor->Pendientes(), 4u);

  // Back-off: nothing before its time, then doubling delays up to a cap.
  gestor->Reintentar();
  EXPECT_EQ(tel.Orden.size(), llamadas);
  std::vector<milliseconds> esperas;
  for (int i = 0; i < 10; ++i) {
    ahora = *gestor->ProximoIntento();
    gestor->Reintentar();
    esperas.push_back(HastaProximo());
  }
  EXPECT_THAT(esperas,
              ElementsAre(seconds(4), seconds(8), seconds(16), seconds(32), seconds(64),
                          seconds(128), seconds(256), seconds(300), seconds(300), seconds(300)));
  // Each attempt stopped at the oldest line.
  EXPECT_EQ(std::count(tel.Orden.begin(), tel.Orden.end(), "Crea"), 11);
  EXPECT_EQ(cola->Lineas().begin()->second.Intentos, 11u);

  tel.Sanar("Crea");
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_FALSE(gestor->ProximoIntento());
  EXPECT_THAT(Guardadas(), ElementsAre("00514000", "00514001", "00514002", "00514003"));
  EXPECT_THAT(Cargadas(), ElementsAre("00514000", "00514001", "00514002", "00514003"));
  EXPECT_EQ(Mensajes(LOG_NOTICE), 4);
  EXPECT_EQ(std::filesystem::file_size(cola->Ruta()), 8u);

  // Back to the usual path, and the back-off starts again from the bottom.
  Recibir(Linea(4));
  EXPECT_EQ(Guardadas().size(), 5u);
  tel.Fallar("ReservaHabitacion", kTiempoAgotado);
  Recibir(Linea(5));
  EXPECT_EQ(HastaProximo(), seconds(2));
}

TEST_F(Gestor, UnaPosteoQueSeAplicoAntesDelFalloNoSeDuplica) {
  tel.FallarTrasAplicar("CrearDetalle", kTiempoAgotado);
  tel.FallarTrasAplicar("Crea", kTiempoAgotado);
  Recibir(Linea(0));
  ASSERT_EQ(gestor->Pendientes(), 1u);
  tel.Sanar("CrearDetalle");
  tel.Sanar("Crea");
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_EQ(Guardadas().size(), 1u);
  EXPECT_EQ(Cargadas().size(), 1u);
  // Looked up, found, not posted again.
  EXPECT_EQ(tel.Creas.size(), 1u);
  EXPECT_EQ(tel.Detalles.size(), 1u);
  EXPECT_EQ(std::count(tel.Orden.begin(), tel.Orden.end(), "ContarDetalles"), 1);
  EXPECT_EQ(std::count(tel.Orden.begin(), tel.Orden.end(), "ContarLlamadas"), 1);
}

// A kill just after a re-posted row is stored, before the queue is written
// again: the next start looks the rows up and posts none of them twice.
TEST_F(Gestor, UnaReposicionCortadaPorUnKillNoSeDuplica) {
  tel.Fallar("ReservaHabitacion", kTiempoAgotado);
  Recibir(Linea(0));
  Recibir(Linea(1));  // behind it, untried
  ASSERT_EQ(gestor->Pendientes(), 2u);
  tel.Sanar("ReservaHabitacion");
  const auto alMorir = dir.Ruta("cola.al-morir");
  tel.AlGuardar = [&](const std::string& metodo) {
    if (metodo == "Crea" && !std::filesystem::exists(alMorir)) {
      std::filesystem::copy_file(cola->Ruta(), alMorir);
    }
  };
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  ASSERT_EQ(Guardadas().size(), 2u);

  // The queue as the kill left it, at the next start.
  tel.AlGuardar = nullptr;
  gestor.reset();
  const auto ruta = cola->Ruta();
  cola.reset();
  std::filesystem::copy_file(alMorir, ruta, std::filesystem::copy_options::overwrite_existing);
  Reabrir();
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_EQ(Guardadas().size(), 2u);
  EXPECT_EQ(Cargadas().size(), 2u);
}

TEST_F(Gestor, LaReposicionSeDetieneEnElPrimerFalloDeLaBase) {
  tel.Fallar("ListarTodo", kSinConexion);
  Recibir(Linea(0));
  ASSERT_EQ(gestor->Pendientes(), 1u);
  // Nothing stored unpriced: the whole line waits.
  EXPECT_TRUE(Guardadas().empty());
  EXPECT_TRUE(Cargadas().empty());

  // Re-posting never posts on a failed price look-up.
  tel.Orden.clear();
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_THAT(tel.Orden, ElementsAre("ListarTodo"));

  // Back: priced, charged and stored once.
  tel.Sanar("ListarTodo");
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_EQ(Guardadas().size(), 1u);
  EXPECT_EQ(Cargadas().size(), 1u);
}

TEST_F(Gestor, UnaLineaQueFallaParaSiempreSeApartaYNoDetieneLasDemas) {
  Recibir(Linea(0, "0099"));  // currency 300: Crea's byte conversion fails
  EXPECT_EQ(gestor->Aparcadas(), 1u);
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_FALSE(gestor->ProximoIntento());
  ASSERT_EQ(Mensajes(LOG_ERR), 1);
  EXPECT_THAT(bitacora.back().second, HasSubstr("error 6 (0x00000006): Overflow"));
  Recibir(Linea(1));  // the next call goes the usual way
  EXPECT_EQ(Guardadas().size(), 1u);

  // Parked while re-posting: the pass goes on with the next line.
  tel.Fallar("Crea", kSinConexion);
  Recibir(Linea(2));
  Recibir(Linea(3, "0099"));
  Recibir(Linea(4));
  tel.Sanar("Crea");
  ahora = *gestor->ProximoIntento();
  const std::size_t intentos = tel.Creas.size();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_EQ(gestor->Aparcadas(), 2u);
  EXPECT_THAT(Guardadas(), ElementsAre("00514001", "00514002", "00514004"));
  // Never retried: later passes do not touch them.
  EXPECT_FALSE(gestor->ProximoIntento());
  ahora += std::chrono::hours(1);
  gestor->Reintentar();
  EXPECT_EQ(tel.Creas.size(), intentos + 2);
  // Kept with their failure, across a restart.
  ColaPendientes releida(cola->Ruta());
  EXPECT_EQ(releida.Aparcadas(), 2u);
  EXPECT_EQ(releida.Lineas().begin()->second.UltimoFallo->Numero, captura::kErrorDesbordamiento);
}

TEST_F(Gestor, UnaPasadaLargaSeCortaParaNoCongelarLaVentana) {
  tel.Fallar("Crea", kSinConexion);
  const int total = static_cast<int>(GestorPendientes::kLineasPorPasada) + 50;
  for (int i = 0; i < total; ++i) Recibir(Linea(i));
  tel.Sanar("Crea");
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 50u);
  EXPECT_EQ(HastaProximo(), milliseconds(0));  // the rest at once
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_EQ(Guardadas().size(), static_cast<std::size_t>(total));
}

TEST_F(Gestor, LasLineasRecobradasSeCompruebanAntesDePostear) {
  Recibir(Linea(0));  // stored before the crash
  gestor->EncolarRecuperada(Linea(0));
  gestor->EncolarRecuperada(Linea(1));
  gestor->EncolarRecuperada(std::string(80, ' '));  // not a call
  EXPECT_EQ(gestor->Pendientes(), 2u);
  EXPECT_EQ(HastaProximo(), milliseconds(0));
  // New data comes after them.
  Recibir(Linea(2));
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_THAT(Guardadas(), ElementsAre("00514000", "00514001", "00514002"));
  EXPECT_THAT(Cargadas(), ElementsAre("00514000", "00514001", "00514002"));
}

// Two real calls alike (one room, one number, one minute, one length), both
// received before a crash, one of them stored before it: k calls alike expect
// k rows, so the second is still posted.
TEST_F(Gestor, DosLlamadasIgualesSonDosFilas) {
  Recibir(Linea(0));
  gestor->EncolarRecuperada(Linea(0));
  gestor->EncolarRecuperada(Linea(0));
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_THAT(Guardadas(), ElementsAre("00514000", "00514000"));
  EXPECT_THAT(Cargadas(), ElementsAre("00514000", "00514000"));

  // Both cut off before the database applied them: both posted.
  tel.Fallar("CrearDetalle", kTiempoAgotado);
  Recibir(Linea(1));
  tel.Sanar("CrearDetalle");
  Recibir(Linea(1));  // waits behind, untried
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_THAT(Cargadas(), ElementsAre("00514000", "00514000", "00514001", "00514001"));
  EXPECT_THAT(Guardadas(), ElementsAre("00514000", "00514000", "00514001", "00514001"));
}

// Recovered long after they came: one stored before the crash with the
// reservation the room still has is found and left alone; one never posted
// is stored without a reservation and its charge waits for the operator.
// Without a limit a late line is charged as ever.
TEST_F(Gestor, LasLineasRecobradasTardeNoSeCarganSolas) {
  Recibir(Linea(0));
  const auto llegada = civil - std::chrono::minutes(31);
  gestor->EncolarRecuperada(Linea(0), llegada);
  gestor->EncolarRecuperada(Linea(1), llegada);
  gestor->Reintentar();
  EXPECT_THAT(Guardadas(), ElementsAre("00514000", "00514001"));
  EXPECT_THAT(Cargadas(), ElementsAre("00514000"));
  EXPECT_EQ(tel.LlamadasGuardadas[1].vReservaId, 0);
  EXPECT_EQ(tel.LlamadasGuardadas[1].vHabitacionId, 101);
  ASSERT_EQ(gestor->Aparcadas(), 1u);
  EXPECT_TRUE(cola->Lineas().begin()->second.CargoAConfirmar());
  EXPECT_THAT(bitacora,
              ::testing::Contains(::testing::Pair(LOG_WARNING, HasSubstr("reserva a confirmar"))));
  EXPECT_FALSE(gestor->Devolver(cola->Lineas().begin()->first));

  gestor->LimiteCargoAutomatico(std::chrono::minutes(0));
  gestor->EncolarRecuperada(Linea(2), llegada);
  gestor->Reintentar();
  EXPECT_THAT(Cargadas(), ElementsAre("00514000", "00514002"));
}

TEST_F(Gestor, SinComponenteLasLineasEsperan) {
  tel.Fallar("Crea", kSinConexion);
  Recibir(Linea(0));
  tel.Sanar("Crea");
  falloCreacion = Fallo{captura::kNoSePuedeCrear, "Cannot load libcaptura.so"};
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 1u);
  EXPECT_EQ(HastaProximo(), seconds(4));
  EXPECT_THAT(bitacora.back().second, HasSubstr("Cannot load libcaptura.so"));
  falloCreacion.reset();
  ahora = *gestor->ProximoIntento();
  gestor->Reintentar();
  EXPECT_EQ(gestor->Pendientes(), 0u);
  EXPECT_EQ(vivos, 0);
}

TEST_F(Gestor, LoPendienteDeOtraEjecucionSeReponeAlArrancar) {
  tel.Fallar("Crea", kSinConexion);
  Recibir(Linea(0));
  Recibir(Linea(1));
  const int cambios = avisos;
  EXPECT_GE(cambios, 2);
  Reabrir();
  EXPECT_EQ(gestor->Pendientes(), 2u);
  EXPECT_EQ(HastaProximo(), milliseconds(0));
  tel.Sanar("Crea");
  gestor->Reintentar();
  EXPECT_THAT(Guardadas(), ElementsAre("00514000", "00514001"));
}

// A bit flipped inside the first waiting record: the two intact ones after
// it still load and are posted.
TEST_F(Gestor, UnRegistroDanadoNoImpideRegistrarLosDemas) {
  tel.Fallar("Crea", kSinConexion);
  for (int i = 0; i < 3; ++i) Recibir(Linea(i));
  gestor.reset();
  const std::string ruta = dir.Ruta(ColaPendientes::kArchivo);
  std::string datos = DirectorioPrueba::Leer(ruta);
  datos[8 + 20] ^= 0x10;  // past the file's header, in the first record's line
  DirectorioPrueba::Escribir(ruta, datos);
  Reabrir();
  EXPECT_TRUE(cola->Dano());
  EXPECT_EQ(gestor->Pendientes(), 2u);
  tel.Sanar("Crea");
  gestor->Reintentar();
  EXPECT_THAT(Guardadas(), ElementsAre("00514001", "00514002"));
}

TEST(BitacoraTexto, LineaLegibleYFalloConSuNumero) {
  EXPECT_EQ(Bitacora::TextoLinea(std::string(" 101 |\xD1u\x01\x85x") + "     "),
            " 101 |\xC3\x91u??x");
  EXPECT_EQ(Bitacora::TextoFallo({captura::kErrorTiempo, "HYT00: t"}),
            "error -2147217871 (0x80040E31): HYT00: t");
}

}  // namespace
