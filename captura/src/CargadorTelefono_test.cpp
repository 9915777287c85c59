#include "captura/CargadorTelefono.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "prueba/OdbcDePrueba.h"

namespace captura {
namespace {

// The tests run from the build's bin directory, where libcaptura.so lies
// beside them as it lies beside the program.
TEST(CargadorTelefono, CargaLaBibliotecaJuntoAlEjecutableYCreaTelefonos) {
  if (!OdbcDePrueba::PrimeraDelProceso()) GTEST_SKIP() << "needs a process of its own";
  OdbcDePrueba odbc;
  odbc.Crear(OdbcDePrueba::Motor::SQLite);
  odbc.Ejecutar("INSERT INTO Habitaciones (NroHabitacion, ReservaId) VALUES ('101', 5001)");

  CargadorTelefono cargador;
  EXPECT_FALSE(cargador.HayObjetosVivos());
  {
    auto tel = cargador.Crear();
    ASSERT_TRUE(tel) << tel.Falla().Descripcion;
    auto otro = CargadorTelefono::DelPrograma().Crear();
    ASSERT_TRUE(otro);
    EXPECT_TRUE(cargador.HayObjetosVivos());
    int32_t reserva = 0, habitacion = 0;
    auto e = tel.Dato()->ReservaHabitacion(reserva, habitacion, "101");
    ASSERT_TRUE(e) << e.Falla().Descripcion;
    EXPECT_EQ(reserva, 5001);
    auto rs = otro.Dato()->ListarTodo("0");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs.Dato()->RecordCount(), 0);
  }
  EXPECT_FALSE(cargador.HayObjetosVivos());
}

TEST(CargadorTelefono, SinBibliotecaLaCreacionFallaComoUnPaso) {
  CargadorTelefono cargador("/nonexistent/sentrel");
  auto tel = cargador.Crear();
  ASSERT_FALSE(tel);
  EXPECT_EQ(tel.Falla().Numero, 429);
  EXPECT_NE(tel.Falla().Descripcion.find("/nonexistent/sentrel/libcaptura.so"), std::string::npos);
  EXPECT_FALSE(cargador.Crear());  // still failing, no crash on the second try
}

TEST(CargadorTelefono, LaFabricaSoloConoceSuClase) {
  const auto ruta =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / CargadorTelefono::kBiblioteca;
  void* bib = dlopen(ruta.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(bib, nullptr) << dlerror();
  auto crear = reinterpret_cast<FuncionCrearObjeto>(dlsym(bib, kSimboloCrearObjeto));
  auto puede = reinterpret_cast<FuncionPuedeDescargar>(dlsym(bib, kSimboloPuedeDescargar));
  ASSERT_TRUE(crear && puede);
  _Telefono* objeto = reinterpret_cast<_Telefono*>(this);
  EXPECT_EQ(crear("{00000000-0000-0000-0000-000000000000}", &objeto), kClaseNoDisponible);
  EXPECT_EQ(objeto, nullptr);
  EXPECT_EQ(crear(nullptr, &objeto), kClaseNoDisponible);
  EXPECT_NE(crear(kClaseTelefono, nullptr), 0);
  EXPECT_EQ(puede(), 0);
  ASSERT_EQ(crear(kClaseTelefono, &objeto), 0);
  EXPECT_EQ(puede(), 1);
  std::unique_ptr<_Telefono>{objeto};
  EXPECT_EQ(puede(), 0);
  // Nothing but the two entry points is visible.
  EXPECT_EQ(dlsym(bib, "_ZN7captura8Telefono5VivosEv"), nullptr);
}

}  // namespace
}  // namespace captura
