#include "estacion/linea/ResguardoCaptura.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QTest>
#include <QTimer>

#include "estacion/linea/Comm.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/LimiteArchivo.h"
#include "prueba/LineaPrueba.h"
#include "prueba/TelefonoFalso.h"
#include "prueba/TelefonoPrestado.h"
#include "prueba/VentanaFalsa.h"
#include "simulador/PuertoSimulado.h"

namespace {

// The program's Qt application comes from the main of ControlPuerto_test.

// The capture side of a station keeping its files in a directory, with a
// fake Telefono and the system log kept.
struct Estacion {
  explicit Estacion(const DirectorioPrueba& dir)
      : resguardo(dir.Ruta().string(), comm, receptor, crear,
                  [this](int, const std::string& m) { log.push_back(m); }) {
    // The burst's wait runs out on the event loop, as the station's timer does it.
    ventana.AlEsperar = [this](std::chrono::milliseconds espera) {
      QTimer::singleShot(espera, &comm, [this] {
        ventana.Espera.reset();
        receptor.FinEspera();
      });
    };
  }

  Comm comm;
  VentanaFalsa ventana;
  TelefonoFalso tel;
  int vivos = 0;
  ReceptorLlamadas::CrearTelefono crear =
      [this]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
    return std::unique_ptr<captura::_Telefono>(std::make_unique<TelefonoPrestado>(tel, vivos));
  };
  ReceptorLlamadas receptor{ventana, comm, crear};
  std::vector<std::string> log;
  ResguardoCaptura resguardo;
};

// A journal that cannot write (a full disk): calls go on being stored, the
// window's line says so, the system log says it once, and both clear when
// the disk takes the bytes again.
TEST(ResguardoCaptura, UnDiarioSinEspacioSeDiceUnaVezYSeBorraAlVolver) {
  DirectorioPrueba dir;
  PuertoSimulado central(dir.Ruta(), 1);
  Estacion e(dir);
  Comm& comm = e.comm;
  TelefonoFalso& tel = e.tel;
  ResguardoCaptura& resguardo = e.resguardo;
  const std::vector<std::string>& log = e.log;
  comm.DirectorioPrograma(dir.Ruta());
  ASSERT_TRUE(comm.CommPort(1));
  resguardo.Iniciar();
  QObject::connect(&comm, &Comm::OnComm, [&] { e.receptor.Comm1_OnComm(); });
  ASSERT_TRUE(comm.PortOpen(true));
  auto llamada = [&](int i) {
    const std::size_t antes = tel.LlamadasGuardadas.size();
    EXPECT_TRUE(central.Enviar(LineaPrueba(" 10" + std::to_string(i), "0051400" + std::to_string(i),
                                           "07/12/26", "10:00", "000:02:10") +
                               "\r\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tel.LlamadasGuardadas.size() > antes; }, 20000));
    resguardo.Reintentar();
  };
  {
    LimiteArchivo limite(std::filesystem::file_size(dir.Ruta() / DiarioRecepcion::kArchivo) + 10);
    for (int i = 0; i < 3; ++i) llamada(i);
    EXPECT_NE(resguardo.Resumen().find("Diario sin guardar"), std::string::npos);
  }
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("diario"), std::string::npos);
  llamada(3);
  EXPECT_EQ(resguardo.Resumen().find("Diario"), std::string::npos) << resguardo.Resumen();
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(tel.LlamadasGuardadas.size(), 4u);
}

std::string Llamada(int i) {
  return LineaPrueba(" 10" + std::to_string(i), "0051400" + std::to_string(i), "07/12/26", "10:00",
                     "000:02:10") +
         "\r\n";
}

// Damage in the middle of the receive journal: the calls on either side of
// it are posted through the checked path, a line cut by it is not joined to
// what follows the gap, the file as it was is kept aside, and the operator
// is told on the window's line and once in the log.
TEST(ResguardoCaptura, UnDiarioDanadoEnMedioRecuperaLoQueSigue) {
  DirectorioPrueba dir;
  const std::string uno = Llamada(1), dos = Llamada(2);
  {
    auto diario = DiarioRecepcion::Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    // Calls 1 and 2 are each cut across two records; the middle one is damaged.
    for (const std::string& bytes :
         {Llamada(0) + uno.substr(0, 40), uno.substr(40) + dos.substr(0, 40),
          dos.substr(40) + Llamada(3)}) {
      ASSERT_TRUE(diario.Dato()->Agregar(bytes));
    }
  }
  const std::string ruta = dir.Ruta(DiarioRecepcion::kArchivo);
  std::string archivo = DirectorioPrueba::Leer(ruta);
  archivo[24 + (20 + 122) + 20 + 10] ^= 0x10;  // header, first record, into the second's bytes
  DirectorioPrueba::Escribir(ruta, archivo);

  Estacion e(dir);
  e.resguardo.Iniciar();
  std::vector<std::string> guardadas;
  for (const auto& c : e.tel.LlamadasGuardadas) guardadas.push_back(c.vDiscado);
  EXPECT_THAT(guardadas, testing::ElementsAre("00514000", "00514003"));
  EXPECT_NE(e.resguardo.Resumen().find("Diario de recepcion: ver registro del sistema"),
            std::string::npos);
  EXPECT_EQ(
      std::count_if(e.log.begin(), e.log.end(),
                    [](const std::string& m) { return m.find("dañado") != std::string::npos; }),
      1);
  std::vector<std::string> aparte;
  for (const auto& f : std::filesystem::directory_iterator(dir.Ruta())) {
    if (f.path().filename().string().starts_with("recepcion.diario.danado-")) {
      aparte.push_back(DirectorioPrueba::Leer(f.path().string()));
    }
  }
  EXPECT_THAT(aparte, testing::ElementsAre(archivo));
}

// A queue file that cannot be read (a directory in its place): kept aside as
// it is, said on the window's line and once in the log, and the station goes
// on with a new queue file.
TEST(ResguardoCaptura, UnArchivoDePendientesIlegibleSeApartaYSeDice) {
  DirectorioPrueba dir;
  const std::string ruta = dir.Ruta(ColaPendientes::kArchivo);
  std::filesystem::create_directory(ruta);
  Estacion e(dir);
  e.resguardo.Iniciar();
  EXPECT_NE(e.resguardo.Resumen().find("Archivo de pendientes: ver registro del sistema"),
            std::string::npos);
  ASSERT_EQ(e.log.size(), 1u);
  EXPECT_NE(e.log[0].find("dañado"), std::string::npos) << e.log[0];
  EXPECT_NE(e.log[0].find("cannot read"), std::string::npos) << e.log[0];
  int apartados = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir.Ruta())) {
    apartados +=
        f.path().filename().string().starts_with("pendientes.dat.danado-") && f.is_directory();
  }
  EXPECT_EQ(apartados, 1);
  EXPECT_TRUE(DirectorioPrueba::Leer(ruta).starts_with("SNTLPND1"));
}

// Links planted where the station writes its own files lead nowhere: the
// files they point at are left alone, and capture goes on without the
// journal the link took the place of.
TEST(ResguardoCaptura, SusArchivosNoSiguenEnlaces) {
  DirectorioPrueba dir;
  const std::string ajeno = dir.Ruta("ajeno.txt");
  DirectorioPrueba::Escribir(ajeno, "de otro");
  std::filesystem::create_symlink(ajeno,
                                  dir.Ruta(std::string(ColaPendientes::kArchivo) + ".nuevo"));
  std::filesystem::create_symlink(ajeno, dir.Ruta(DiarioRecepcion::kArchivoCompletado));
  Estacion e(dir);
  e.resguardo.Iniciar();
  EXPECT_EQ(DirectorioPrueba::Leer(ajeno), "de otro");
  EXPECT_FALSE(e.resguardo.DiarioActivo());
  EXPECT_TRUE(e.resguardo.Gestor().Cola().EstadoArchivo());
}

// The safekeeping started anew on the same receiver (the station started
// again): the new one recovers what the journal held, and nothing the one
// before left in the receiver is called.
TEST(ResguardoCaptura, OtroSobreElMismoReceptorNoLlamaAlAnterior) {
  DirectorioPrueba dir, otro;
  Estacion e(dir);
  {
    ResguardoCaptura anterior(otro.Ruta().string(), e.comm, e.receptor, e.crear);
    anterior.Iniciar();
  }
  {
    auto diario = DiarioRecepcion::Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    ASSERT_TRUE(diario.Dato()->Agregar(Llamada(1)));
  }
  e.resguardo.Iniciar();
  ASSERT_EQ(e.tel.LlamadasGuardadas.size(), 1u);
  EXPECT_EQ(e.tel.LlamadasGuardadas[0].vDiscado, "00514001");
}

}  // namespace
