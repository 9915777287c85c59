// The window of kept calls on a real SQLite database: a call parked by a
// failure for good is sent back by the operator and then stored, once.
#include "estacion/ventana/frmPendientes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableWidget>

#include "Telefono.h"
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

TEST(frmPendientes, LaLlamadaApartadaSeReintentaYQuedaGuardadaUnaVez) {
  LocalePeruano locale;
  ASSERT_TRUE(locale.ok()) << "es_PE.UTF-8 locale missing";
  SOLO_EN_PROCESO_PROPIO();
  OdbcDePrueba odbc;
  odbc.Crear(OdbcDePrueba::Motor::SQLite);
  odbc.Registrar("Driver=SQLite3\nDatabase=" + odbc.Directorio() +
                 "/hotel.db\nNoCreat=1\nJournalMode=WAL\n");
  odbc.Ejecutar(
      "INSERT INTO Productos (ProductoID, CodigosTelefonicos, PrecioVenta, PrecioCosto, "
      "MonedaId) VALUES (1, '0051', 2.5, 1.25, 1)");
  odbc.Ejecutar(
      "INSERT INTO Habitaciones (HabitacionId, NroHabitacion, ReservaId) "
      "VALUES (105, '105', 5105)");

  DirectorioPrueba dir;
  VentanaFalsa ventana;
  PuertoFalso puerto;
  ReceptorLlamadas receptor(ventana, puerto, TelefonoReal);
  ColaPendientes cola(dir.Ruta(ColaPendientes::kArchivo));
  std::vector<std::string> registro;
  Bitacora bitacora([&](int, const std::string& m) { registro.push_back(m); });
  GestorPendientes gestor(receptor, cola, bitacora, TelefonoReal);
  gestor.Conectar();

  // The call table is away: the charge is posted, the call fails for good.
  odbc.Ejecutar("ALTER TABLE telefonos RENAME TO telefonos_fuera");
  const std::string linea = LineaPrueba("2105", "005112345", "07/12/26", "10:20", "000:02:10");
  receptor.ProcesarRecuperado(linea + "\r\n", 0);
  ASSERT_EQ(gestor.Aparcadas(), 1u);

  frmPendientes dlg(gestor);
  QTableWidget* tabla = dlg.Tabla();
  ASSERT_EQ(tabla->rowCount(), 1);
  EXPECT_EQ(tabla->item(0, 0)->text(), "Apartada");
  EXPECT_EQ(tabla->item(0, 2)->text(), "1");
  EXPECT_TRUE(tabla->item(0, 3)->text().contains("telefonos"))
      << tabla->item(0, 3)->text().toStdString();
  EXPECT_EQ(tabla->item(0, 4)->text().toStdString(), Bitacora::TextoLinea(linea));

  dlg.cmdReintentar_Click();  // nothing selected: nothing sent back
  EXPECT_EQ(gestor.Aparcadas(), 1u);

  odbc.Ejecutar("ALTER TABLE telefonos_fuera RENAME TO telefonos");
  tabla->selectRow(0);
  dlg.cmdReintentar_Click();
  EXPECT_EQ(gestor.Aparcadas(), 0u);
  EXPECT_EQ(gestor.Pendientes(), 1u);
  EXPECT_EQ(tabla->item(0, 0)->text(), "Pendiente");
  EXPECT_NE(registro.back().find("devuelta a la cola por el operador"), std::string::npos);

  gestor.Reintentar();
  dlg.Actualizar();
  EXPECT_EQ(tabla->rowCount(), 0);
  auto llamadas = odbc.Consultar("SELECT COUNT(*) AS n FROM telefonos");
  EXPECT_EQ(llamadas->Campo("n").Dato().ALong().Dato(), 1);
  auto cargos = odbc.Consultar("SELECT COUNT(*) AS n FROM CuentasCorrientes");
  EXPECT_EQ(cargos->Campo("n").Dato().ALong().Dato(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication aplicacion(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
