// A window attached to the real service: sentrel-servicio with no display
// in a directory of its own, a real SQLite hotel, the exchange on a
// pseudo-terminal; the window offscreen in this process, through the
// service's link only.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "estacion/enlace/EstacionRemota.h"
#include "estacion/ventana/frmCentralTelefonica.h"
#include "estacion/ventana/frmPendientes.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/SalidaOrden.h"
#include "simulador/LlamadaPrueba.h"
#include "simulador/PuertoSimulado.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

captura::Resultado<std::unique_ptr<captura::_Telefono>> SinTelefono() {
  return captura::Fallo{captura::kNoSePuedeCrear, "la ventana enlazada no registra"};
}

class VentanaEnlazada : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string programa = dir.Ruta("programa");
    fs::create_directory(programa);
    fs::copy_file(SENTREL_SERVICIO, programa + "/sentrel-servicio");
    fs::copy_file(SENTREL_CAPTURA, programa + "/libcaptura.so");
    servicio = programa + "/sentrel-servicio";
    datos = dir.Ruta("estado");
    fs::create_directory(datos);
    base = dir.Ruta("tavro.db");
    odbcIni = dir.Ruta("odbc.ini");
    ASSERT_TRUE(SalidaOrden(std::string(SENTREL_RAIZ) + "/scripts/crear-base-sqlite.sh --ejemplo " +
                            base + " " + odbcIni));
    DirectorioPrueba::Escribir(datos + "/CAPTURA.INI",
                               "[configura]\npuerto=1\nbseg=9600\nbdat=8\npari=None\nbpar=1\n"
                               "[App]\nTimeConexion=2\n");
  }

  void TearDown() override {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  // The service as systemd starts it: no display variables.
  void Arrancar() {
    pid = ::fork();
    if (pid != 0) return;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      ::unsetenv(variable);
    }
    ::setenv("ODBCINI", odbcIni.c_str(), 1);
    ::setenv("LC_ALL", "es_PE.UTF-8", 1);
    std::freopen(dir.Ruta("errores.txt").c_str(), "w", stderr);
    ::execl(servicio.c_str(), "sentrel-servicio", "--directorio", datos.c_str(), nullptr);
    ::_exit(127);
  }

  std::string Sql(const std::string& consulta) {
    return SalidaOrden("sqlite3 " + base + " \"" + consulta + "\"").value_or("fallo");
  }

  DirectorioPrueba dir;
  std::string servicio, datos, base, odbcIni;
  pid_t pid = -1;
};

// A call parked by the service (its call table away) is shown by the
// attached window and sent back through it once the table is back: stored
// once, its charge posted once. The service stopped and started again, the
// window says so and attaches again.
TEST_F(VentanaEnlazada, MuestraElServicioYDevuelveLaLlamadaApartada) {
  PuertoSimulado central(datos, 1);
  Arrancar();
  ASSERT_TRUE(central.EsperarApertura(15s)) << DirectorioPrueba::Leer(dir.Ruta("errores.txt"));
  std::this_thread::sleep_for(1s);  // what waits at the opening is thrown away
  Sql("ALTER TABLE telefonos RENAME TO telefonos_fuera");
  ASSERT_TRUE(central.Enviar(LlamadaPrueba("2101", "0034610000000", 130, 1).Texto() + "\r\n"));

  frmCentralTelefonica ventana(SinTelefono);
  ventana.DirectorioPrograma(datos);
  ASSERT_TRUE(ventana.Form_Load());
  ASSERT_TRUE(ventana.Enlazada());
  ventana.show();
  auto* estado = ventana.findChild<QLabel*>(QStringLiteral("lblInformacion"));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const auto filas = ventana.Vista().FilasPendientes();
        return filas.size() == 1 && filas[0].Aparcada;
      },
      20000));
  EXPECT_TRUE(estado->text().startsWith(QStringLiteral("Puerto COM 1")))
      << estado->text().toStdString();
  EXPECT_EQ(estado->text().toStdString(), ventana.Vista().TextoEstado());
  EXPECT_EQ(ventana.findChild<QGroupBox*>(QStringLiteral("frameInfo"))->title(),
            QStringLiteral("Información COM 1"));
  EXPECT_TRUE(ventana.findChild<QLabel*>(QStringLiteral("lblPendientes"))
                  ->text()
                  .contains(QStringLiteral("Ctrl+L")));
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM CuentasCorrientes"), "1\n");

  Sql("ALTER TABLE telefonos_fuera RENAME TO telefonos");
  ventana.mnuPendientes_Click();
  frmPendientes* pendientes = ventana.VentanaPendientes();
  ASSERT_NE(pendientes, nullptr);
  ASSERT_EQ(pendientes->Tabla()->rowCount(), 1);
  EXPECT_EQ(pendientes->Tabla()->item(0, 0)->text(), QStringLiteral("Apartada"));
  pendientes->Tabla()->selectRow(0);
  pendientes->cmdReintentar_Click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return pendientes->Tabla()->rowCount() == 0; }, 20000));
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM telefonos"), "1\n");
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM CuentasCorrientes"), "1\n");

  // The service gone, the window says so; back, the window attaches again by itself.
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return estado->text().endsWith(QString::fromUtf8(EstacionRemota::kSufijoSinServicio));
      },
      20000))
      << estado->text().toStdString();
  ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);
  pid = -1;
  std::optional<PuertoSimulado> otra;
  otra.emplace(datos, 1);
  Arrancar();
  ASSERT_TRUE(otra->EsperarApertura(15s));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return estado->text().startsWith(QStringLiteral("Puerto COM 1")); }, 20000))
      << estado->text().toStdString();
}

}  // namespace
