// The window of kept calls on a real SQLite database: a call parked by a
// failure for good is sent back by the operator and then stored, once; a
// charge that waits for the operator is posted once or dropped.
#include "estacion/ventana/frmPendientes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableWidget>

#include <algorithm>
#include <filesystem>

#include "Telefono.h"
#include "estacion/nucleo/PendientesDelGestor.h"
#include "prueba/ConLocale.h"
#include "prueba/DirectorioPrueba.h"
#include "prueba/LineaPrueba.h"
#include "prueba/OdbcDePrueba.h"
#include "prueba/PuertoFalso.h"
#include "prueba/VentanaFalsa.h"
#include "resguardo/GestorPendientes.h"

namespace {

using captura::OdbcDePrueba;

captura::Resultado<std::unique_ptr<captura::_Telefono>> TelefonoReal() {
  return std::unique_ptr<captura::_Telefono>(std::make_unique<captura::Telefono>());
}

// The station's queue and its window on a real SQLite hotel: room 105 with
// reservation 5105, tariff 0051; clocks the test moves.
class Pendientes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(locale.ok()) << "es_PE.UTF-8 locale missing";
    SOLO_EN_PROCESO_PROPIO();
    odbc = std::make_unique<OdbcDePrueba>();
    odbc->Crear(OdbcDePrueba::Motor::SQLite);
    base = odbc->Directorio() + "/hotel.db";
    odbc->Registrar("Driver=SQLite3\nDatabase=" + base + "\nNoCreat=1\nJournalMode=WAL\n");
    odbc->Ejecutar(
        "INSERT INTO Productos (ProductoID, CodigosTelefonicos, PrecioVenta, PrecioCosto, "
        "MonedaId) VALUES (1, '0051', 2.5, 1.25, 1)");
    odbc->Ejecutar(
        "INSERT INTO Habitaciones (HabitacionId, NroHabitacion, ReservaId) "
        "VALUES (105, '105', 5105)");
    Abrir();
  }

  // The queue loaded from its file, as at a start.
  void Abrir() {
    gestor.reset();
    cola = std::make_unique<ColaPendientes>(dir.Ruta(ColaPendientes::kArchivo));
    gestor = std::make_unique<GestorPendientes>(
        receptor, *cola, bitacora, TelefonoReal, [this] { return ahora; },
        [this] { return civil; });
    gestor->Conectar();
  }

  void Recibir(const std::string& linea) { receptor.ProcesarRecuperado(linea + "\r\n", 0); }

  // One due attempt, however long the back-off.
  void Reintentar() {
    if (auto cuando = gestor->ProximoIntento()) ahora = *cuando;
    gestor->Reintentar();
  }

  long Contar(const std::string& sql) {
    return odbc->Consultar(sql)->Campo("n").Dato().ALong().Dato();
  }

  LocalePeruano locale;
  std::unique_ptr<OdbcDePrueba> odbc;
  std::string base;
  DirectorioPrueba dir;
  VentanaFalsa ventana;
  PuertoFalso puerto;
  ReceptorLlamadas receptor{ventana, puerto, TelefonoReal};
  std::vector<std::string> registro;
  Bitacora bitacora{[this](int, const std::string& m) { registro.push_back(m); }};
  GestorPendientes::Instante ahora{};
  std::chrono::system_clock::time_point civil = std::chrono::system_clock::now();
  std::unique_ptr<ColaPendientes> cola;
  std::unique_ptr<GestorPendientes> gestor;
};

TEST_F(Pendientes, LaLlamadaApartadaSeReintentaYQuedaGuardadaUnaVez) {
  // The call table is away: the charge is posted, the call fails for good.
  odbc->Ejecutar("ALTER TABLE telefonos RENAME TO telefonos_fuera");
  const std::string linea = LineaPrueba("2105", "005112345", "07/12/26", "10:20", "000:02:10");
  Recibir(linea);
  ASSERT_EQ(gestor->Aparcadas(), 1u);

  PendientesDelGestor lista(*gestor);
  frmPendientes dlg(lista);
  QTableWidget* tabla = dlg.Tabla();
  ASSERT_EQ(tabla->rowCount(), 1);
  EXPECT_EQ(tabla->item(0, 0)->text(), "Apartada");
  EXPECT_EQ(tabla->item(0, 2)->text(), "1");
  EXPECT_TRUE(tabla->item(0, 3)->text().contains("telefonos"))
      << tabla->item(0, 3)->text().toStdString();
  EXPECT_EQ(tabla->item(0, 5)->text().toStdString(), Bitacora::TextoLineaEntera(linea));

  dlg.cmdReintentar_Click();  // nothing selected: nothing sent back
  EXPECT_EQ(gestor->Aparcadas(), 1u);

  odbc->Ejecutar("ALTER TABLE telefonos_fuera RENAME TO telefonos");
  tabla->selectRow(0);
  dlg.cmdReintentar_Click();
  EXPECT_EQ(gestor->Aparcadas(), 0u);
  EXPECT_EQ(gestor->Pendientes(), 1u);
  EXPECT_EQ(tabla->item(0, 0)->text(), "Pendiente");
  EXPECT_NE(registro.back().find("devuelta a la cola por el operador"), std::string::npos);

  Reintentar();
  dlg.Actualizar();
  EXPECT_EQ(tabla->rowCount(), 0);
  EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM telefonos"), 1);
  EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM CuentasCorrientes"), 1);
}

// The database away for longer than the limit while room 105 changed
// guests: once back, both calls are stored without a reservation and each
// charge waits for the operator, shown with the reservation found now. One
// is dropped, the other posted there once, even when the station is killed
// right after posting it.
TEST_F(Pendientes, UnCargoBuscadoTardeEsperaAlOperador) {
  std::filesystem::rename(base, base + ".fuera");
  Recibir(LineaPrueba("2105", "005112345", "07/12/26", "10:20", "000:02:10"));
  Recibir(LineaPrueba("2105", "005112346", "07/12/26", "10:25", "000:01:10"));
  ASSERT_EQ(gestor->Pendientes(), 2u);
  std::filesystem::rename(base + ".fuera", base);
  odbc->Ejecutar("UPDATE Habitaciones SET ReservaId = 9999 WHERE NroHabitacion = '105'");
  civil += std::chrono::minutes(31);
  Reintentar();
  EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM telefonos WHERE ReservaId = 0"), 2);
  EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM CuentasCorrientes"), 0);
  std::string antes;
  {
    PendientesDelGestor lista(*gestor);
    frmPendientes dlg(lista);
    QTableWidget* tabla = dlg.Tabla();
    ASSERT_EQ(tabla->rowCount(), 2);
    for (int fila : {0, 1}) {
      EXPECT_EQ(tabla->item(fila, 0)->text(), "Apartada");
      EXPECT_EQ(tabla->item(fila, 3)->text(), "reserva a confirmar");
      EXPECT_EQ(tabla->item(fila, 4)->text(), "9999");
    }
    tabla->selectRow(1);
    dlg.cmdDescartarCargo_Click();
    Reintentar();
    EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM CuentasCorrientes"), 0);
    dlg.Actualizar();
    ASSERT_EQ(tabla->rowCount(), 1);

    tabla->selectRow(0);
    dlg.cmdCargar_Click();
    antes = DirectorioPrueba::Leer(cola->Ruta());
    Reintentar();
    EXPECT_EQ(gestor->Aparcadas() + gestor->Pendientes(), 0u);
  }
  // Killed before the queue took note of the posting: found, not posted again.
  gestor.reset();
  DirectorioPrueba::Escribir(dir.Ruta(ColaPendientes::kArchivo), antes);
  Abrir();
  Reintentar();
  EXPECT_EQ(gestor->Aparcadas() + gestor->Pendientes(), 0u);
  EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM CuentasCorrientes WHERE ReservaId = 9999 "
                   "AND Discado = '005112345'"),
            1);
  EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM CuentasCorrientes"), 1);
  EXPECT_EQ(Contar("SELECT COUNT(*) AS n FROM telefonos"), 2);
  EXPECT_NE(std::find_if(registro.begin(), registro.end(),
                         [](const std::string& m) { return m.starts_with("Cargo descartado"); }),
            registro.end());
}

}  // namespace
