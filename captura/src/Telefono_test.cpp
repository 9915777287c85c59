#include "Telefono.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <thread>
#include <type_traits>

#include "ConexionCompartida.h"
#include "Diagnostico.h"
#include "captura/FalloTransitorio.h"
#include "captura/Regional.h"
#include "prueba/ConLocale.h"
#include "prueba/OdbcDePrueba.h"
#include "prueba/SesionSqlite.h"

namespace captura {
namespace {

using Motor = OdbcDePrueba::Motor;

class TelefonoEnBase : public ::testing::TestWithParam<Motor> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(locale_.ok()) << "es_PE.UTF-8 locale missing";
    if (GetParam() == Motor::PostgreSQL && OdbcDePrueba::PuertoPostgres().empty()) {
      GTEST_SKIP() << "no PostgreSQL test cluster (SENTREL_PG_PORT): run scripts/probar.sh";
    }
    SOLO_EN_PROCESO_PROPIO();
    odbc_ = std::make_unique<OdbcDePrueba>();
    odbc_->Crear(GetParam());
    odbc_->Ejecutar(
        "INSERT INTO Productos (ProductoID, CodigosTelefonicos, PrecioVenta, PrecioCosto, "
        "MonedaId) VALUES (1, '0051', 2.5, 1.25, 1), (2, '00511', 3, NULL, 2), "
        "(3, '0034', 3.5, 1.3, 1), (4, '051', 0.9, 0.3, 1), (5, '0034', 9, 9, 9), "
        "(6, NULL, 1, 1, 1), (7, '5', 0.3, 0.1, 1), (8, '9', 0.9, NULL, 1), "
        "(9, '0800', 0, NULL, 1)");
    odbc_->Ejecutar(
        "INSERT INTO Habitaciones (HabitacionId, NroHabitacion, ReservaId) VALUES "
        "(11, '101', 5001), (12, '102', 0), (13, '103', 7001), (14, '103', 7002)");
    odbc_->SentenciasNuevas();
  }

  bool EsPostgres() const { return GetParam() == Motor::PostgreSQL; }

  LocalePeruano locale_;
  std::unique_ptr<OdbcDePrueba> odbc_;
  Telefono tel_;
};

std::vector<std::string> Codigos(Recordset& rs) {
  std::vector<std::string> r;
  for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) {
    r.push_back(rs.Campo("CodigosTelefonicos").Dato().ATexto().Dato());
  }
  std::sort(r.begin(), r.end());
  return r;
}

TEST_P(TelefonoEnBase, ListarTodoBuscaPorPrefijoDelCodigo) {
  auto rs = tel_.ListarTodo("005");
  ASSERT_TRUE(rs) << rs.Falla().Descripcion;
  EXPECT_EQ(rs.Dato()->RecordCount(), 2);
  EXPECT_EQ(Codigos(*rs.Dato()), (std::vector<std::string>{"0051", "00511"}));
  // The five columns, looked up in any case; NULL cost stays NULL.
  auto& r = *rs.Dato();
  for (r.MoveFirst(); !r.EOF_(); r.MoveNext()) {
    if (r.Campo("productoid").Dato().ALong().Dato() != 2) continue;
    EXPECT_TRUE(r.Campo("PrecioCosto").Dato().EsNulo());
    EXPECT_EQ(r.Campo("PRECIOVENTA").Dato().AFloat().Dato(), 3.0f);
    EXPECT_EQ(r.Campo("monedaid").Dato().ALong().Dato(), 2);
  }

  EXPECT_EQ(tel_.ListarTodo("51").Dato()->RecordCount(), 0);  // not "0051"
  EXPECT_EQ(Codigos(*tel_.ListarTodo("0034").Dato()),
            (std::vector<std::string>{"0034", "0034"}));    // duplicates both come
  EXPECT_EQ(tel_.ListarTodo("").Dato()->RecordCount(), 8);  // every non-NULL code
  auto vacio = tel_.ListarTodo("0099");
  ASSERT_TRUE(vacio);
  EXPECT_EQ(vacio.Dato()->RecordCount(), 0);
  EXPECT_TRUE(vacio.Dato()->EOF_());
  EXPECT_TRUE(vacio.Dato()->BOF());
}

TEST_P(TelefonoEnBase, PrecioCostoLocalEscribeSusArgumentos) {
  int32_t producto = -1, moneda = -1;
  float costo = -1;
  auto precio = tel_.PrecioCostoLocal("5", producto, costo, moneda);
  ASSERT_TRUE(precio) << precio.Falla().Descripcion;
  EXPECT_FLOAT_EQ(precio.Dato(), 0.3f);
  EXPECT_EQ(producto, 7);
  EXPECT_FLOAT_EQ(costo, 0.1f);
  EXPECT_EQ(moneda, 1);

  // NULL cost reads as 0, the rest is still written.
  precio = tel_.PrecioCostoLocal("9", producto, costo, moneda);
  EXPECT_FLOAT_EQ(precio.Dato(), 0.9f);
  EXPECT_EQ(producto, 8);
  EXPECT_EQ(costo, 0.0f);

  // No row: 0 everywhere.
  precio = tel_.PrecioCostoLocal("4", producto, costo, moneda);
  EXPECT_EQ(precio.Dato(), 0.0f);
  EXPECT_EQ(producto, 0);
  EXPECT_EQ(costo, 0.0f);
  EXPECT_EQ(moneda, 0);

  // Exact match only: "05" is no code, "051" is.
  EXPECT_EQ(tel_.PrecioCostoLocal("05", producto, costo, moneda).Dato(), 0.0f);
  EXPECT_FLOAT_EQ(tel_.PrecioCostoLocal("051", producto, costo, moneda).Dato(), 0.9f);
  EXPECT_EQ(producto, 4);
}

TEST_P(TelefonoEnBase, UnNuloFallaDespuesDeLasEscriturasPrevias) {
  odbc_->Ejecutar(
      "INSERT INTO Productos (ProductoID, CodigosTelefonicos, PrecioVenta, PrecioCosto, "
      "MonedaId) VALUES (20, '7', 0.5, 0.2, NULL), (21, '8', NULL, 0.2, 1)");
  int32_t producto = -1, moneda = -1;
  float costo = -1;
  auto precio = tel_.PrecioCostoLocal("7", producto, costo, moneda);
  ASSERT_FALSE(precio);
  EXPECT_EQ(precio.Falla().Numero, kErrorNulo);
  EXPECT_EQ(producto, 20);
  EXPECT_FLOAT_EQ(costo, 0.2f);
  EXPECT_EQ(moneda, -1);

  producto = -1, costo = -1;
  EXPECT_EQ(tel_.PrecioCostoLocal("8", producto, costo, moneda).Falla().Numero, kErrorNulo);
  EXPECT_EQ(producto, -1);  // the sale price fails first: nothing written
  EXPECT_EQ(costo, -1.0f);

  odbc_->Ejecutar(
      "INSERT INTO Habitaciones (HabitacionId, NroHabitacion, ReservaId) VALUES (30, "
      "'301', NULL)");
  int32_t reserva = -1, habitacion = -1;
  EXPECT_EQ(tel_.ReservaHabitacion(reserva, habitacion, "301").Falla().Numero, kErrorNulo);
  EXPECT_EQ(reserva, -1);
  EXPECT_EQ(habitacion, -1);
}

TEST_P(TelefonoEnBase, ReservaHabitacion) {
  int32_t reserva = -1, habitacion = -1;
  ASSERT_TRUE(tel_.ReservaHabitacion(reserva, habitacion, "101"));
  EXPECT_EQ(reserva, 5001);
  EXPECT_EQ(habitacion, 11);
  ASSERT_TRUE(tel_.ReservaHabitacion(reserva, habitacion, "102"));
  EXPECT_EQ(reserva, 0);
  EXPECT_EQ(habitacion, 12);
  ASSERT_TRUE(tel_.ReservaHabitacion(reserva, habitacion, "999"));
  EXPECT_EQ(reserva, 0);
  EXPECT_EQ(habitacion, 0);
  ASSERT_TRUE(tel_.ReservaHabitacion(reserva, habitacion, "103"));  // two rows: one of them
  EXPECT_TRUE((reserva == 7001 && habitacion == 13) || (reserva == 7002 && habitacion == 14));
}

TEST_P(TelefonoEnBase, SentenciasExactasConComaDecimalYComillas) {
  const Fecha dia = *Regional::DesdeCalendario(2026, 12, 7);
  const Fecha hora = Regional::DesdeReloj(8, 5, 9);
  int32_t p = 0, m = 0, r = 0, h = 0;
  float c = 0;
  ASSERT_TRUE(tel_.ListarTodo("005"));
  ASSERT_TRUE(tel_.PrecioCostoLocal("5", p, c, m));
  ASSERT_TRUE(tel_.ReservaHabitacion(r, h, "101"));
  auto e = tel_.CrearDetalle(1, 5001, 11, 3, 3.5f, 2.25f, "M'1", 4, 1, 2, 3, "T-9", 0.18f, 0.1f,
                             "0034911234567", -1, 3.5f, dia + hora, dia + hora);
  ASSERT_TRUE(e) << e.Falla().Descripcion;
  e = tel_.Crea("101", "O'Brien", dia + hora, dia + hora, "00:02:10", "", 5001, 11, 7.5f, -0.25f, 3,
                1, 3.5f);
  ASSERT_TRUE(e) << e.Falla().Descripcion;
  ASSERT_TRUE(tel_.CreaLLamda("102", "4412345", dia, hora));
  EXPECT_EQ(
      odbc_->SentenciasNuevas(),
      (std::vector<std::string>{
          "Select PrecioVenta,codigosTelefonicos,ProductoId,preciocosto,MonedaID From Productos "
          "Where CodigosTelefonicos like '005%';",
          "Select PrecioVenta,productoID,preciocosto,monedaID From Productos Where "
          "CodigosTelefonicos = '5';",
          "Select ReservaId,HabitacionId From Habitaciones Where NroHabitacion='101';",
          "INSERT INTO CuentasCorrientes(ComandaId,ReservaId,HabitacionId, ProductoID,"
          "PrecioUnitario,Cantidad,Estado,TransacciondocumentoId,fecha,hora,puntoventaId,"
          "comandamanual,Facturable,PagoPor,Igv,Servicio,Discado,automatico,MonedaId,TipoCambio) "
          "VALUES(1,5001,11,3,3.5,2.25,3,'T-9','07/12/2026 08:05:09','08:05',4,'M''1',1,2,0.18,"
          "0.1,'0034911234567',0,-1,3.5)",
          "INSERT INTO telefonos(Anexo,Discado,Fecha,Hora, Tiempo,Codigo,Reservaid,HabitacionId,"
          "PrecioVenta,PrecioCosto,ProductoId,MonedaId,TipoCambio) VALUES('101','O''Brien',"
          "'07/12/2026 08:05:09','08:05','00:02:10','',5001,11,7.5,-0.25,3,1,3.5)",
          "INSERT INTO telefonos(Anexo,Discado,Fecha) VALUES('102','4412345','07/12/2026')",
      }));

  // The rows landed whole, quotes and decimals intact.
  auto filas = odbc_->Consultar(
      "SELECT Discado, PrecioCosto, Hora, Fecha FROM telefonos ORDER BY TelefonoId");
  ASSERT_EQ(filas->RecordCount(), 2);
  EXPECT_EQ(filas->Campo("Discado").Dato(), Valor::Texto("O'Brien"));
  EXPECT_FLOAT_EQ(filas->Campo("PrecioCosto").Dato().AFloat().Dato(), -0.25f);
  EXPECT_EQ(filas->Campo("Hora").Dato(), Valor::Texto("08:05"));
  EXPECT_EQ(filas->Campo("Fecha").Dato(),
            Valor::Texto(EsPostgres() ? "2026-12-07 08:05:09" : "07/12/2026 08:05:09"));
  auto cuenta = odbc_->Consultar(
      "SELECT comandamanual, Cantidad, Igv, automatico, MonedaId FROM CuentasCorrientes");
  ASSERT_EQ(cuenta->RecordCount(), 1);
  EXPECT_EQ(cuenta->Campo("comandamanual").Dato(), Valor::Texto("M'1"));
  EXPECT_FLOAT_EQ(cuenta->Campo("Cantidad").Dato().AFloat().Dato(), 2.25f);
  EXPECT_FLOAT_EQ(cuenta->Campo("Igv").Dato().AFloat().Dato(), 0.18f);
  EXPECT_EQ(cuenta->Campo("automatico").Dato().ALong().Dato(), 0);
  EXPECT_EQ(cuenta->Campo("MonedaId").Dato().ALong().Dato(), -1);
}

TEST_P(TelefonoEnBase, UnaComillaNoAlteraLaSentencia) {
  tel_.Agrupar();  // on a server, rows after the first are sent together
  int32_t r = -1, h = -1;
  ASSERT_TRUE(tel_.ReservaHabitacion(r, h, "101' OR '1'='1"));
  EXPECT_EQ(r, 0);
  auto rs = tel_.ListarTodo("0'; DELETE FROM Productos; --");
  ASSERT_TRUE(rs) << rs.Falla().Descripcion;
  EXPECT_EQ(rs.Dato()->RecordCount(), 0);
  ASSERT_TRUE(tel_.CreaLLamda("0", "0", 1.0, 0));
  ASSERT_TRUE(tel_.CreaLLamda("'", "1'); DELETE FROM Habitaciones; --", 1.0, 0));
  ASSERT_TRUE(tel_.CreaLLamda("\\", "\\'; DELETE FROM Habitaciones; --", 1.0, 0));
  ASSERT_TRUE(tel_.Asegurar());
  EXPECT_EQ(odbc_->Consultar("SELECT * FROM Productos")->RecordCount(), 9);
  EXPECT_EQ(odbc_->Consultar("SELECT * FROM Habitaciones")->RecordCount(), 4);
  auto fila = odbc_->Consultar("SELECT Anexo, Discado FROM telefonos ORDER BY Anexo");
  ASSERT_EQ(fila->RecordCount(), 3);
  EXPECT_EQ(fila->Campo("Anexo").Dato(), Valor::Texto("'"));
  EXPECT_EQ(fila->Campo("Discado").Dato(), Valor::Texto("1'); DELETE FROM Habitaciones; --"));
  fila->MoveNext();
  fila->MoveNext();
  EXPECT_EQ(fila->Campo("Discado").Dato(), Valor::Texto("\\'; DELETE FROM Habitaciones; --"));
}

TEST_P(TelefonoEnBase, LosFallosVuelvenConSuDiagnostico) {
  // A value with no SQL form is refused before anything is sent.
  const float infinito = std::numeric_limits<float>::infinity();
  auto e = tel_.Crea("101", "0051", 46000, 0, "", "", 0, 0, infinito, 0, 0, 1, 3.5f);
  ASSERT_FALSE(e);
  EXPECT_EQ(e.Falla().Numero, kErrorDesbordamiento);
  EXPECT_FALSE(tel_.CreaLLamda("101", "0051", std::nan(""), 0));
  EXPECT_TRUE(odbc_->SentenciasNuevas().empty());

  odbc_->Ejecutar("DROP TABLE Productos");
  auto rs = tel_.ListarTodo("005");
  ASSERT_FALSE(rs);
  EXPECT_EQ(rs.Falla().Numero, kErrorSentencia);
  EXPECT_NE(rs.Falla().Descripcion.find(EsPostgres() ? "42P01" : "HY000"), std::string::npos)
      << rs.Falla().Descripcion;
  EXPECT_NE(rs.Falla().Descripcion.find("roductos"), std::string::npos);
  EXPECT_FALSE(EsFalloTransitorio(rs.Falla()));  // retrying will not bring the table back
  int32_t p = 5, m = 5;
  float c = 5;
  EXPECT_FALSE(tel_.PrecioCostoLocal("5", p, c, m));
  EXPECT_EQ(p, 5);  // a failed lookup writes nothing

  // Each failure closed the kept connection (the cause may lie in it, as a
  // file opened read-only): the next call serves on a new one.
  int32_t r = 0, h = 0;
  EXPECT_TRUE(tel_.ReservaHabitacion(r, h, "101"));
  EXPECT_EQ(r, 5001);
  EXPECT_EQ(odbc_->Conexiones(), 3);
}

TEST_P(TelefonoEnBase, LaConexionSeConservaEntreObjetos) {
  for (int i = 0; i < 3; ++i) {
    Telefono otro;
    int32_t r = 0, h = 0;
    ASSERT_TRUE(otro.ReservaHabitacion(r, h, "101"));
    ASSERT_TRUE(otro.Crea("101", "0051", 46000, 0, "1", "C", r, h, 1, 0, 1, 1, 3.5f));
  }
  EXPECT_EQ(odbc_->Conexiones(), 1);
  ConexionCompartida::FijarReutilizar(false);
  int32_t r = 0, h = 0;
  EXPECT_TRUE(tel_.ReservaHabitacion(r, h, "101"));
  EXPECT_TRUE(tel_.ReservaHabitacion(r, h, "101"));
  ConexionCompartida::FijarReutilizar(true);
  EXPECT_EQ(odbc_->Conexiones(), 3);
}

// Inside a server's open transaction the tariff and room rows are read once
// (a change shows once the transaction ends) and the rows after its first are
// held back; a lookup of the station's own rows sees them. An embedded file
// reads at every call and posts at once.
TEST_P(TelefonoEnBase, EnUnaTransaccionSeLeeUnaVezYSeRetienenLasFilas) {
  auto leer = [&] {
    auto rs = tel_.ListarTodo("0051");
    EXPECT_TRUE(rs) << rs.Falla().Descripcion;
    int32_t reserva = -1, habitacion = -1;
    EXPECT_TRUE(tel_.ReservaHabitacion(reserva, habitacion, "101"));
    return std::pair(rs ? rs.Dato()->Campo("PrecioVenta").Dato().AFloat().Dato() : -1.0f, reserva);
  };
  auto cambiar = [&](int n) {
    odbc_->Ejecutar("UPDATE Productos SET PrecioVenta = " + std::to_string(n) +
                    " WHERE CodigosTelefonicos = '0051'");
    odbc_->Ejecutar("UPDATE Habitaciones SET ReservaId = " + std::to_string(n) +
                    " WHERE NroHabitacion = '101'");
  };
  auto fila = [](const char* discado) {
    return ArgsCrea{"101", discado, 46000, 0, "1", "C", 5001, 11, 1, 0, 1, 1, 3.5f};
  };
  auto llamada = [&](const char* discado) { return captura::Crea(tel_, fila(discado)); };
  auto guardadas = [&](const char* discado) {
    auto n = tel_.ContarLlamadas(fila(discado));
    return n ? n.Dato() : -1;
  };
  uint64_t perdidas = tel_.Agrupar();
  ASSERT_TRUE(llamada("0051"));
  EXPECT_EQ(leer(), std::pair(2.5f, 5001));
  cambiar(4);
  EXPECT_EQ(leer(), EsPostgres() ? std::pair(2.5f, 5001) : std::pair(4.0f, 4));
  ASSERT_TRUE(llamada("0052"));
  EXPECT_EQ(guardadas("0052"), 1);
  ASSERT_TRUE(tel_.Asegurar());
  EXPECT_EQ(tel_.Agrupar(), perdidas);
  EXPECT_EQ(leer(), std::pair(4.0f, 4));

  // A held-back row the server rejects fails the commit and its whole
  // transaction goes; the rows after go one at a time, so the rejected one
  // fails by itself, until a transaction commits.
  if (!EsPostgres()) return;
  odbc_->Ejecutar("ALTER TABLE telefonos ADD CONSTRAINT rechazo CHECK (Discado <> 'no')");
  ASSERT_TRUE(llamada("0053"));
  ASSERT_TRUE(llamada("no"));
  EXPECT_FALSE(tel_.Asegurar());
  EXPECT_EQ(tel_.Agrupar(), ++perdidas);
  EXPECT_EQ(guardadas("0053"), 0);
  cambiar(6);
  ASSERT_TRUE(llamada("0053"));
  EXPECT_EQ(leer(), std::pair(6.0f, 6));
  EXPECT_FALSE(llamada("no"));
  EXPECT_EQ(tel_.Agrupar(), ++perdidas);
  ASSERT_TRUE(llamada("0053"));
  ASSERT_TRUE(llamada("0054"));
  ASSERT_TRUE(tel_.Asegurar());
  EXPECT_EQ(tel_.Agrupar(), perdidas);
  EXPECT_EQ(guardadas("0053") + guardadas("0054"), 2);
}

// A posting that may have been applied is looked up on every column it
// wrote, with the values written exactly as the INSERT wrote them: quotes,
// day-first dates, hh:mm, blanks, single precision reals.
TEST_P(TelefonoEnBase, ContarHallaLasFilasIgualesEnCadaColumna) {
  const Fecha dia = *Regional::DesdeCalendario(2026, 12, 7);
  const Fecha hora = Regional::DesdeReloj(8, 5, 9);
  const ArgsCrea llamada{"101", "O'Brien  ", dia,  hora, "00:02:10", "C", 5001,
                         11,    0.3f,        0.1f, 3,    1,          3.5f};
  const ArgsCrearDetalle cargo{0, 5001, 11, 3, 0.3f,      3, "",   6,   0,   0,
                               0, "",   0,  0, "0051234", 1, 3.5f, dia, hora};
  auto contar = [&](auto fila) {
    Resultado<int32_t> n = 0;
    if constexpr (std::is_same_v<decltype(fila), ArgsCrea>) {
      n = tel_.ContarLlamadas(fila);
    } else {
      n = tel_.ContarDetalles(fila);
    }
    EXPECT_TRUE(n) << n.Falla().Descripcion;
    return n ? n.Dato() : -1;
  };
  EXPECT_EQ(contar(llamada), 0);
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(Crea(tel_, llamada));
  ASSERT_TRUE(CrearDetalle(tel_, cargo));
  odbc_->SentenciasNuevas();
  EXPECT_EQ(contar(llamada), 2);
  EXPECT_EQ(odbc_->SentenciasNuevas(),
            (std::vector<std::string>{
                "Select Count(*) As Cuantos From telefonos Where Anexo='101' And "
                "Discado='O''Brien  ' And Fecha='07/12/2026' And Hora='08:05' And "
                "Tiempo='00:02:10' And Codigo='C' And Reservaid=5001 And HabitacionId=11 And "
                "PrecioVenta=CAST(0.3 AS REAL) And PrecioCosto=CAST(0.1 AS REAL) And ProductoId=3 "
                "And MonedaId=1 And TipoCambio=CAST(3.5 AS REAL);"}));
  EXPECT_EQ(contar(cargo), 1);
  // Any one column apart makes another row.
  auto otraLlamada = llamada;
  otraLlamada.vCodigo = "D";
  EXPECT_EQ(contar(otraLlamada), 0);
  otraLlamada = llamada;
  otraLlamada.vReservaId = 5002;
  EXPECT_EQ(contar(otraLlamada), 0);
  auto otroCargo = cargo;
  otroCargo.vCantidad = 4;
  EXPECT_EQ(contar(otroCargo), 0);
  otroCargo = cargo;
  otroCargo.vHora = Regional::DesdeReloj(8, 6, 0);
  EXPECT_EQ(contar(otroCargo), 0);

  odbc_->SentenciasNuevas();
  otroCargo.vFecha = std::nan("");
  EXPECT_EQ(tel_.ContarDetalles(otroCargo).Falla().Numero, kErrorDesbordamiento);
  EXPECT_TRUE(odbc_->SentenciasNuevas().empty());
}

INSTANTIATE_TEST_SUITE_P(Motores, TelefonoEnBase,
                         ::testing::Values(Motor::SQLite, Motor::PostgreSQL), [](const auto& info) {
                           return info.param == Motor::SQLite ? "SQLite" : "PostgreSQL";
                         });

// A dropped server connection: the call that finds it fails (nothing is
// re-run), the next call opens a fresh one.
TEST(TelefonoPostgres, ConexionCortadaSeReemplaza) {
  if (OdbcDePrueba::PuertoPostgres().empty()) GTEST_SKIP() << "no PostgreSQL test cluster";
  SOLO_EN_PROCESO_PROPIO();
  LocalePeruano locale;
  OdbcDePrueba odbc;
  odbc.Crear(Motor::PostgreSQL);
  Telefono tel;
  ASSERT_TRUE(tel.CreaLLamda("101", "uno", 46000, 0));
  odbc.CortarConexiones();

  auto e = tel.CreaLLamda("101", "dos", 46000, 0);
  ASSERT_FALSE(e);
  EXPECT_EQ(e.Falla().Numero, kErrorConexion) << e.Falla().Descripcion;
  EXPECT_TRUE(EsFalloTransitorio(e.Falla()));
  ASSERT_TRUE(tel.CreaLLamda("101", "tres", 46000, 0));
  EXPECT_EQ(odbc.Conexiones(), 2);
  auto filas = odbc.Consultar("SELECT Discado FROM telefonos ORDER BY TelefonoId");
  ASSERT_EQ(filas->RecordCount(), 2);  // "dos" neither stored nor re-run
  filas->MoveNext();
  EXPECT_EQ(filas->Campo("Discado").Dato(), Valor::Texto("tres"));
}

TEST(TelefonoPostgres, ServidorInalcanzable) {
  if (OdbcDePrueba::PuertoPostgres().empty()) GTEST_SKIP() << "no PostgreSQL test cluster";
  SOLO_EN_PROCESO_PROPIO();
  OdbcDePrueba odbc;
  odbc.Registrar("Driver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=1\nDatabase=x\n");
  Telefono tel;
  auto rs = tel.ListarTodo("005");
  ASSERT_FALSE(rs);
  EXPECT_EQ(rs.Falla().Numero, kErrorConexion);
  EXPECT_NE(rs.Falla().Descripcion.find("08001"), std::string::npos) << rs.Falla().Descripcion;
  EXPECT_TRUE(EsFalloTransitorio(rs.Falla()));
}

TEST(TelefonoSinBase, OrigenDeDatosAusente) {
  SOLO_EN_PROCESO_PROPIO();
  OdbcDePrueba odbc;
  Telefono tel;
  int32_t r = 0, h = 0;
  auto e = tel.ReservaHabitacion(r, h, "101");
  ASSERT_FALSE(e);
  EXPECT_NE(e.Falla().Descripcion.find("IM002"), std::string::npos) << e.Falla().Descripcion;
  EXPECT_TRUE(EsFalloTransitorio(e.Falla()));  // waits until the data source is set up
}

TEST(TelefonoSinBase, ArchivoInexistenteNoSeCrea) {
  SOLO_EN_PROCESO_PROPIO();
  OdbcDePrueba odbc;
  Telefono tel;
  int32_t r = 0, h = 0;
  // NoCreat: a missing file is an error, not a new empty database.
  odbc.Registrar("Driver=SQLite3\nDatabase=" + odbc.Directorio() + "/no-existe.db\nNoCreat=1\n");
  auto e = tel.ReservaHabitacion(r, h, "101");
  ASSERT_FALSE(e);
  EXPECT_EQ(e.Falla().Numero, kErrorConexion) << e.Falla().Descripcion;
  EXPECT_TRUE(EsFalloTransitorio(e.Falla()));
  EXPECT_FALSE(std::filesystem::exists(odbc.Directorio() + "/no-existe.db"));
}

// Another program holds the write lock (a backup, a manual edit): postings
// fail as busy, and work again once it lets go.
TEST(TelefonoSinBase, BaseSqliteBloqueada) {
  SOLO_EN_PROCESO_PROPIO();
  OdbcDePrueba odbc;
  odbc.Crear(Motor::SQLite);
  const std::string base = odbc.Directorio() + "/hotel.db";
  odbc.Registrar("Driver=SQLite3\nDatabase=" + base +
                 "\nNoCreat=1\nJournalMode=WAL\nTimeout=200\n");
  Telefono tel;
  ASSERT_TRUE(tel.CreaLLamda("101", "antes", 46000, 0));
  SesionSqlite otra(base, odbc.Directorio(),
                    "BEGIN EXCLUSIVE; INSERT INTO telefonos(Anexo) VALUES(1);");
  ASSERT_TRUE(otra.Esperar()) << "sqlite3 never took the lock";
  Estado e = tel.CreaLLamda("101", "durante", 46000, 0);
  ASSERT_FALSE(e);
  EXPECT_NE(e.Falla().Descripcion.find("locked"), std::string::npos) << e.Falla().Descripcion;
  EXPECT_TRUE(EsFalloTransitorio(e.Falla()));
  otra.Terminar();
  for (int i = 0; i < 50 && !e; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    e = tel.CreaLLamda("101", "despues", 46000, 0);
  }
  EXPECT_TRUE(e) << e.Falla().Descripcion;
}

}  // namespace
}  // namespace captura
