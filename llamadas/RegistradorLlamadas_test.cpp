#include "llamadas/RegistradorLlamadas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "llamadas/TelefonoAusente.h"
#include "prueba/TelefonoFalso.h"

namespace {

using captura::Fallo;
using captura::Valor;
using ::testing::ElementsAre;

constexpr captura::Fecha kFecha = 45285;     // 2023-12-25
constexpr captura::Fecha kHora = 0.6041666;  // 14:30

RegistroLlamada Llamada(const std::string& discado, int16_t horasEnMinutos = 0, int16_t minutos = 5,
                        int16_t segundos = 10) {
  RegistroLlamada r;
  r.Anexo = " 105";
  r.Discado = discado;
  r.Tiempo = "000:05:10";
  r.Codigo = "0042";
  r.FechaLlamada = kFecha;
  r.HoraLlamada = kHora;
  r.HorasEnMinutos = horasEnMinutos;
  r.MinutosLlamada = minutos;
  r.SegundosLlamada = segundos;
  r.ControlTiempo = 5;
  return r;
}

class Registrador : public ::testing::Test {
 protected:
  void SetUp() override {
    tel.AgregarTarifa("011", 0.1f, 1, 1, 0.05f);
    tel.AgregarTarifa("0114", 1.0f, 10, 1, 0.5f);
    tel.AgregarTarifa("01144", 2.0f, 20, 2, 0.7f);
    tel.AgregarTarifa("0115", 3.0f, 30, 1, 0.9f);
    tel.AgregarTarifa("0800", 0.5f, 80, 1, 0.2f);
    tel.AgregarTarifa("4", 0.3f, 40, 1, 0.1f);
    tel.AgregarHabitacion("105", 900, 15);
  }
  ResumenRegistro Registrar(const RegistroLlamada& r) { return reg.RegistrarLlamada(r, tel); }

  TelefonoFalso tel;
  RegistradorLlamadas reg;
};

TEST_F(Registrador, PrefijoMasLargoEntreVariosCodigos) {
  Registrar(Llamada("01144412345"));
  EXPECT_THAT(tel.ListarTodos, ElementsAre("011"));
  EXPECT_EQ(reg.CodigoBusqueda(), "011");
  ASSERT_EQ(tel.Creas.size(), 1u);
  EXPECT_EQ(tel.Creas[0].vPrecioVenta, 2.0f);
  EXPECT_EQ(tel.Creas[0].vProductodId, 20);
  EXPECT_EQ(tel.Creas[0].vMonedaId, 2);
  EXPECT_EQ(tel.Creas[0].vPrecioCosto, 0.7f);
}

TEST_F(Registrador, NumeroEnteroNuncaSeCompara) {
  tel.AgregarTarifa("0123", 9.0f, 99, 1, 1.0f);
  const ResumenRegistro s = Registrar(Llamada("0123 "));
  EXPECT_THAT(tel.ListarTodos, ElementsAre("012"));
  EXPECT_TRUE(tel.Detalles.empty());
  ASSERT_EQ(tel.Creas.size(), 1u);
  EXPECT_EQ(tel.Creas[0].vPrecioVenta, 0.0f);
  EXPECT_EQ(tel.Creas[0].vDiscado, "0123 ");
  EXPECT_TRUE(s.Ok());
  EXPECT_TRUE(s.LlamadaGuardada);
}

TEST_F(Registrador, CodigosNulosONoLegiblesNoCasan) {
  using F = captura::Recordset::Fila;
  tel.AgregarFilaTarifa(
      "0771", F{Valor(), Valor::Real(8), Valor::Entero(8), Valor::Entero(1), Valor::Real(1)});
  tel.AgregarFilaTarifa("0772", F{Valor::Texto(" 077 "), Valor(), Valor::Entero(77),
                                  Valor::Texto("x"), Valor::Real(0.4)});
  Registrar(Llamada("0771234"));
  ASSERT_EQ(tel.Creas.size(), 1u);
  // The null code is skipped; the row " 077 " matches after trimming, and
  // its null price and unreadable currency leave those values at 0.
  EXPECT_EQ(tel.Creas[0].vProductodId, 77);
  EXPECT_EQ(tel.Creas[0].vPrecioVenta, 0.0f);
  EXPECT_EQ(tel.Creas[0].vMonedaId, 0);
  EXPECT_FLOAT_EQ(tel.Creas[0].vPrecioCosto, 0.4f);
}

TEST_F(Registrador, NumerosLocalesYCortos) {
  Registrar(Llamada("4123456"));
  EXPECT_TRUE(tel.ListarTodos.empty());
  ASSERT_EQ(tel.PreciosLocales.size(), 1u);
  EXPECT_EQ(tel.PreciosLocales[0].vDiscado, "4");
  EXPECT_EQ(tel.Creas.back().vPrecioVenta, 0.3f);
  EXPECT_EQ(tel.Creas.back().vProductodId, 40);

  Registrar(Llamada(" 4123 "));
  EXPECT_EQ(tel.PreciosLocales.size(), 1u);
  EXPECT_TRUE(tel.ListarTodos.empty());
  ASSERT_EQ(tel.Creas.size(), 2u);
  EXPECT_EQ(tel.Creas.back().vPrecioVenta, 0.0f);
  EXPECT_EQ(tel.Creas.back().vProductodId, 0);
}

struct CasoDuracion {
  int16_t horas, minutos, segundos;
  bool cobrada;
  float cantidad;
};

TEST_F(Registrador, CantidadYLlamadasGratuitas) {
  const CasoDuracion casos[] = {
      {0, 0, 34, false, 0}, {0, 0, 35, true, 1},   {0, 2, 0, true, 2},
      {0, 2, 1, true, 3},   {60, 0, 20, true, 61}, {60, 0, 0, true, 60},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(::testing::Message() << c.horas << "h " << c.minutos << "m " << c.segundos);
    tel.Detalles.clear();
    Registrar(Llamada("01144412345", c.horas, c.minutos, c.segundos));
    ASSERT_EQ(tel.Detalles.size(), c.cobrada ? 1u : 0u);
    if (c.cobrada) {
      EXPECT_EQ(tel.Detalles[0].vCantidad, c.cantidad);
    }
  }
}

TEST_F(Registrador, NumeroGratuitoCobraUnaUnidad) {
  Registrar(Llamada("08001234567", 0, 5, 10));
  ASSERT_EQ(tel.Detalles.size(), 1u);
  EXPECT_EQ(tel.Detalles[0].vCantidad, 1.0f);
  EXPECT_EQ(tel.Detalles[0].vPrecioUnitario, 0.5f);

  // Priced at 0: the total is 0, so nothing is charged.
  Registrar(Llamada("08011234567", 0, 5, 10));
  EXPECT_EQ(tel.Detalles.size(), 1u);
  EXPECT_EQ(tel.Creas.size(), 2u);
}

TEST_F(Registrador, OrdenYArgumentosDeLosServicios) {
  RegistroLlamada r = Llamada("01144412345  ", 0, 2, 1);
  r.Codigo = "\xD1";  // Latin-1 from the line, UTF-8 to the component
  const ResumenRegistro s = Registrar(r);
  EXPECT_THAT(tel.Orden, ElementsAre("ListarTodo", "ReservaHabitacion", "CrearDetalle", "Crea"));
  ASSERT_EQ(tel.Reservas.size(), 1u);
  EXPECT_EQ(tel.Reservas[0].vNroHabitacion, "105");

  ASSERT_EQ(tel.Detalles.size(), 1u);
  const auto& d = tel.Detalles[0];
  EXPECT_EQ(d.vComandaId, 0);
  EXPECT_EQ(d.vReservaId, 900);
  EXPECT_EQ(d.vHabitacionId, 15);
  EXPECT_EQ(d.vProductoId, 20);
  EXPECT_EQ(d.vPrecioUnitario, 2.0f);
  EXPECT_EQ(d.vCantidad, 3.0f);
  EXPECT_EQ(d.vComandaManual, "");
  EXPECT_EQ(d.vPuntoVentaId, 6);
  EXPECT_EQ(d.vFacturable, 0);
  EXPECT_EQ(d.vPagoPor, 0);
  EXPECT_EQ(d.vEstado, 0);
  EXPECT_EQ(d.vTransaccionDocumento, "");
  EXPECT_EQ(d.vIgv, 0.0f);
  EXPECT_EQ(d.vServicio, 0.0f);
  EXPECT_EQ(d.vDiscado, "01144412345  ");
  EXPECT_EQ(d.vMonedaId, 2);
  EXPECT_EQ(d.vTipoCambio, 3.5f);
  EXPECT_EQ(d.vFecha, kFecha);
  EXPECT_EQ(d.vHora, kHora);

  ASSERT_EQ(tel.Creas.size(), 1u);
  const auto& c = tel.Creas[0];
  EXPECT_EQ(c.vAnexo, "105");
  EXPECT_EQ(c.vDiscado, "01144412345  ");
  EXPECT_EQ(c.vFecha, kFecha);
  EXPECT_EQ(c.vHora, kHora);
  EXPECT_EQ(c.vTiempo, "000:05:10");
  EXPECT_EQ(c.vCodigo, "\xC3\x91");
  EXPECT_EQ(c.vReservaId, 900);
  EXPECT_EQ(c.vHabitacionId, 15);
  EXPECT_EQ(c.vPrecioVenta, 2.0f);  // one unit, not the total
  EXPECT_EQ(c.vPrecioCosto, 0.7f);
  EXPECT_EQ(c.vProductodId, 20);
  EXPECT_EQ(c.vMonedaId, 2);
  EXPECT_EQ(c.vTipoCambio, 3.5f);
  EXPECT_TRUE(s.Ok());
  EXPECT_TRUE(s.CargoRegistrado);
  EXPECT_TRUE(s.LlamadaGuardada);
}

TEST_F(Registrador, HabitacionSinReservaSeGuardaSinCargo) {
  tel.AgregarHabitacion("105", 0, 15);
  Registrar(Llamada("01144412345"));
  EXPECT_TRUE(tel.Detalles.empty());
  ASSERT_EQ(tel.Creas.size(), 1u);
  EXPECT_EQ(tel.Creas[0].vReservaId, 0);
  EXPECT_EQ(tel.Creas[0].vHabitacionId, 15);
}

TEST_F(Registrador, NingunValorPasaDeUnaLlamadaALaSiguiente) {
  Registrar(Llamada("01144412345"));
  Registrar(Llamada("09990001111"));
  ASSERT_EQ(tel.Creas.size(), 2u);
  EXPECT_EQ(tel.Creas[1].vPrecioVenta, 0.0f);
  EXPECT_EQ(tel.Creas[1].vPrecioCosto, 0.0f);
  EXPECT_EQ(tel.Creas[1].vProductodId, 0);
  EXPECT_EQ(tel.Creas[1].vMonedaId, 0);
  EXPECT_EQ(tel.Detalles.size(), 1u);
}

TEST_F(Registrador, CadaPasoFallidoCuestaSoloEsePaso) {
  const Fallo caido{-2147467259, "Connection failure"};
  tel.Fallar("CrearDetalle", caido);
  ResumenRegistro s = Registrar(Llamada("01144412345"));
  EXPECT_THAT(tel.Orden, ElementsAre("ListarTodo", "ReservaHabitacion", "CrearDetalle", "Crea"));
  ASSERT_EQ(s.Fallidos.size(), 1u);
  EXPECT_EQ(s.Fallidos[0].Paso, PasoTelefono::CrearDetalle);
  EXPECT_EQ(s.Fallidos[0].Fallo.Descripcion, "Connection failure");
  EXPECT_FALSE(s.CargoRegistrado);
  EXPECT_TRUE(s.LlamadaGuardada);

  // A room lookup failed for good leaves no reservation, hence no charge.
  tel = TelefonoFalso();
  SetUp();
  tel.Fallar("ReservaHabitacion", {captura::kErrorNulo, "Invalid use of Null"});
  s = Registrar(Llamada("01144412345"));
  EXPECT_TRUE(tel.Detalles.empty());
  ASSERT_EQ(tel.Creas.size(), 1u);
  EXPECT_EQ(tel.Creas[0].vReservaId, 0);
  EXPECT_EQ(tel.Creas[0].vHabitacionId, 0);
  EXPECT_EQ(tel.Creas[0].vPrecioVenta, 2.0f);

  // The stored call is reported when it fails.
  tel.Fallar("Crea", caido);
  s = Registrar(Llamada("01144412345"));
  EXPECT_FALSE(s.LlamadaGuardada);
  EXPECT_EQ(s.Fallidos.back().Paso, PasoTelefono::Crea);
}

// A lookup on a database that does not answer stores nothing with the
// values it did not learn; the call says what it learned, and posts with
// that later without asking again: the first reservation, not today's.
TEST_F(Registrador, ConsultaSinRespuestaNoGuardaNadaYLaReposicionUsaLoAprendido) {
  const Fallo sinRespuesta{captura::kErrorTiempo, "HYT00: Timeout expired"};
  tel.Fallar("ListarTodo", sinRespuesta);
  ResumenRegistro s = Registrar(Llamada("01144412345"));
  EXPECT_TRUE(tel.Creas.empty());
  EXPECT_FALSE(s.Avance.Tarifa_);
  tel.Sanar("ListarTodo");
  tel.Fallar("ReservaHabitacion", sinRespuesta);
  s = Registrar(Llamada("01144412345"));
  EXPECT_TRUE(tel.Creas.empty());
  EXPECT_TRUE(tel.Detalles.empty());
  ASSERT_TRUE(s.Avance.Tarifa_);
  EXPECT_EQ(s.Avance.Tarifa_->PrecioVenta, 2.0f);
  EXPECT_FALSE(s.Avance.Habitacion_);

  AvanceRegistro previo;
  previo.Tarifa_ = AvanceRegistro::Tarifa{2.0f, 0.7f, 20, 2};
  previo.Habitacion_ = AvanceRegistro::Habitacion{900, 15};
  tel.Sanar("ReservaHabitacion");
  tel.AgregarHabitacion("105", 901, 15);  // a new guest since
  tel.Orden.clear();
  s = reg.RegistrarLlamada(Llamada("01144412345"), tel, ModoRegistro::Reposicion, previo);
  EXPECT_TRUE(s.Ok());
  EXPECT_THAT(tel.Orden, ElementsAre("CrearDetalle", "Crea"));
  EXPECT_EQ(tel.Detalles.at(0).vReservaId, 900);
  EXPECT_EQ(tel.Creas.at(0).vReservaId, 900);
  EXPECT_EQ(s.Avance.Cargo, AvanceRegistro::Paso::Hecho);
  EXPECT_EQ(s.Avance.Llamada, AvanceRegistro::Paso::Hecho);
}

TEST_F(Registrador, ListarTodoFallidoBuscaEnLasFilasAnteriores) {
  tel.Fallar("ListarTodo", {3709, "Connection closed"});
  ResumenRegistro s = Registrar(Llamada("01144412345"));
  EXPECT_EQ(reg.rsTarifas(), nullptr);
  EXPECT_EQ(tel.Creas.back().vPrecioVenta, 0.0f);
  ASSERT_EQ(s.Fallidos.size(), 1u);
  EXPECT_EQ(s.Fallidos[0].Paso, PasoTelefono::ListarTodo);

  tel = TelefonoFalso();
  SetUp();
  Registrar(Llamada("01144412345"));
  tel.Fallar("ListarTodo", {3709, "Connection closed"});
  Registrar(Llamada("01150000000"));
  EXPECT_EQ(reg.rsTarifas()->RecordCount(), 4);
  EXPECT_EQ(tel.Creas.back().vPrecioVenta, 3.0f);
}

TEST_F(Registrador, MonedaFueraDeUnByteNoGuardaLaLlamada) {
  tel.AgregarTarifa("0336", 1.0f, 33, 300, 0.5f);
  const ResumenRegistro s = Registrar(Llamada("03361234567"));
  ASSERT_EQ(tel.Detalles.size(), 1u);
  EXPECT_EQ(tel.Detalles[0].vMonedaId, 300);
  EXPECT_TRUE(tel.Creas.empty());
  ASSERT_EQ(s.Fallidos.size(), 1u);
  EXPECT_EQ(s.Fallidos[0].Paso, PasoTelefono::Crea);
  EXPECT_EQ(s.Fallidos[0].Fallo.Numero, captura::kErrorDesbordamiento);
}

TEST(RegistradorSinTelefono, CadaPasoFallaConLaCausa) {
  TelefonoAusente ausente({-1, "libcaptura.so: cannot open shared object file"});
  RegistradorLlamadas reg;
  const ResumenRegistro s = reg.RegistrarLlamada(Llamada("01144412345"), ausente);
  ASSERT_EQ(s.Fallidos.size(), 3u);
  EXPECT_EQ(s.Fallidos[0].Paso, PasoTelefono::ListarTodo);
  EXPECT_EQ(s.Fallidos[1].Paso, PasoTelefono::ReservaHabitacion);
  EXPECT_EQ(s.Fallidos[2].Paso, PasoTelefono::Crea);
  EXPECT_EQ(s.Fallidos[2].Fallo.Descripcion, "libcaptura.so: cannot open shared object file");
  EXPECT_FALSE(s.LlamadaGuardada);
}

}  // namespace
