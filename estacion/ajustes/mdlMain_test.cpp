#include "estacion/ajustes/mdlMain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "estacion/ajustes/AjustesCaptura.h"
#include "prueba/DirectorioPrueba.h"

namespace {

TEST(MdlMain, LeerIniDaElTextoVacioParaLoQueFaltaYCortaA254) {
  DirectorioPrueba dir;
  const std::string ini = dir.Ruta("CAPTURA.INI");
  auto LeerIni = [&](std::string_view seccion, std::string_view clave) {
    return mdlMain::LeerIni(ini, seccion, clave);
  };
  EXPECT_EQ(LeerIni("configura", "puerto"), "");  // no file
  DirectorioPrueba::Escribir(ini, "[configura]\r\npuerto=\r\nbseg=9600   \r\n" +
                                      std::string("[Rutas]\r\nFile=\"  x  \"\r\n") +
                                      "[App]\r\nTimeConexion=" + std::string(300, 't') + "\r\n");
  EXPECT_EQ(LeerIni("configura", "puerto"), "");
  EXPECT_EQ(LeerIni("configura", "pari"), "");
  EXPECT_EQ(LeerIni("CONFIGURA", "bseg"), "9600");
  EXPECT_EQ(LeerIni("Rutas", "File"), "  x");  // trailing blanks go, even quoted
  EXPECT_EQ(LeerIni("App", "TimeConexion"), std::string(254, 't'));
  const auto ajustes = AjustesCaptura::Leer(ini);
  EXPECT_EQ(ajustes.Velocidad, "9600");
  EXPECT_EQ(ajustes.RutaFile, "  x");
  EXPECT_EQ(ajustes.TiempoConexion, std::string(254, 't'));
  EXPECT_EQ(mdlMain::QuitarNulos(std::string("abc\0def\0", 8)), "abc");
}

TEST(MdlMain, ConversionDeTiempoConexion) {
  auto ticks = [](const char* texto) {
    AjustesCaptura ajustes;
    ajustes.TiempoConexion = texto;
    return ajustes.TicksFinRafaga();
  };
  for (const char* malo : {"abc", "", "   ", "40000", "-32769", "32767.5", "1e400", "inf", "nan",
                           "0x10", "++1", "+-1", "- 1", "3 3"}) {
    EXPECT_EQ(ticks(malo), std::nullopt) << malo;
  }
  struct Caso {
    const char* texto;
    int16_t valor;
  };
  for (const auto& c : {Caso{"2.5", 2}, Caso{"3.5", 4}, Caso{"-2.5", -2}, Caso{"-32768", -32768},
                        Caso{"32767", 32767}, Caso{"-32768.5", -32768}, Caso{" 7 ", 7},
                        Caso{"+9", 9}, Caso{"1e3", 1000}, Caso{".5", 0}}) {
    EXPECT_EQ(ticks(c.texto), c.valor) << c.texto;
  }
}

TEST(MdlMain, ElPuertoGuardaTodosLosDigitosFinales) {
  EXPECT_EQ(mdlMain::PuertoDeTexto("COM 12"), "12");
  EXPECT_EQ(mdlMain::PuertoDeTexto("COM 3 "), "3");
  EXPECT_EQ(mdlMain::PuertoDeTexto("  COM7"), "7");
  EXPECT_EQ(mdlMain::PuertoDeTexto("COM"), "");
  EXPECT_EQ(mdlMain::PuertoDeTexto("COM 1a"), "");
  EXPECT_EQ(mdlMain::QuitarBlancos("\t8 "), "\t8");  // blanks only
}

TEST(MdlMain, OrdenDeFechasDeLaCentral) {
  using Orden = captura::Regional::Orden;
  EXPECT_EQ(mdlMain::OrdenFechaDeTexto(" dma "), Orden::DiaMesAnio);
  EXPECT_EQ(mdlMain::OrdenFechaDeTexto("MDA"), Orden::MesDiaAnio);
  EXPECT_EQ(mdlMain::OrdenFechaDeTexto("AMD"), Orden::AnioMesDia);
  EXPECT_EQ(mdlMain::OrdenFechaDeTexto(""), std::nullopt);
  EXPECT_EQ(mdlMain::OrdenFechaDeTexto("dd/mm/aa"), std::nullopt);
  EXPECT_EQ(mdlMain::TextoOrdenFecha(Orden::AnioMesDia), "AMD");
}

TEST(MdlMain, ElArchivoDeAjustesSeBuscaSinMayusculasJuntoAlPrograma) {
  EXPECT_TRUE(std::filesystem::is_regular_file(mdlMain::DirectorioPrograma() + "/ajustes_test"));

  DirectorioPrueba dir;
  auto u = mdlMain::UbicarArchivoIni(dir.Ruta());
  EXPECT_FALSE(u.existe);
  EXPECT_EQ(u.ruta, dir.Ruta("CAPTURA.INI"));
  std::filesystem::create_directory(dir.Ruta("Captura.Ini"));  // a directory does not count
  EXPECT_FALSE(mdlMain::UbicarArchivoIni(dir.Ruta()).existe);
  DirectorioPrueba::Escribir(dir.Ruta("captura.ini"), "");
  u = mdlMain::UbicarArchivoIni(dir.Ruta().string() + "/");
  EXPECT_TRUE(u.existe);
  EXPECT_EQ(u.ruta, dir.Ruta("captura.ini"));
  DirectorioPrueba::Escribir(dir.Ruta("CAPTURA.INI"), "");
  EXPECT_EQ(mdlMain::UbicarArchivoIni(dir.Ruta()).ruta, dir.Ruta("CAPTURA.INI"));
}

TEST(MdlMain, CrearArchivoVacioNoTocaLoExistenteNiSeBloquea) {
  DirectorioPrueba dir;
  EXPECT_TRUE(mdlMain::CrearArchivoVacio(dir.Ruta("nuevo.txt")));
  EXPECT_EQ(std::filesystem::file_size(dir.Ruta("nuevo.txt")), 0u);
  DirectorioPrueba::Escribir(dir.Ruta("viejo.txt"), "llamadas\n");
  EXPECT_TRUE(mdlMain::CrearArchivoVacio(dir.Ruta("viejo.txt")));
  EXPECT_EQ(DirectorioPrueba::Leer(dir.Ruta("viejo.txt")), "llamadas\n");
  EXPECT_FALSE(mdlMain::CrearArchivoVacio(""));
  EXPECT_FALSE(mdlMain::CrearArchivoVacio(dir.Ruta("falta/x.txt")));
  // A FIFO with no reader would hold an ordinary open for writing forever.
  ASSERT_EQ(::mkfifo(dir.Ruta("tubo").c_str(), 0600), 0);
  EXPECT_FALSE(mdlMain::CrearArchivoVacio(dir.Ruta("tubo")));
}

}  // namespace
