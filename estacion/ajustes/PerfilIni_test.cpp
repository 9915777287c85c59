#include "estacion/ajustes/PerfilIni.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "prueba/DirectorioPrueba.h"

namespace {

// The value as the station reads it, through a 255-byte buffer.
std::string Leer(const std::string& ruta, const std::string& seccion, const std::string& clave,
                 std::size_t* cuenta = nullptr) {
  char buffer[255];
  const auto n = PerfilIni::LeerValor(ruta, seccion, clave, "", buffer, sizeof buffer);
  if (cuenta) *cuenta = n;
  return std::string(buffer, n);
}

std::size_t Archivos(const std::string& directorio) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(directorio)) ++n;
  return n;
}

TEST(PerfilIni, PrimeraGrabacionCreaLasSeccionesEnElOrdenEscrito) {
  DirectorioPrueba dir;
  const auto ini = dir.Ruta("CAPTURA.INI");
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "puerto", "12"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "bseg", "9600"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "bdat", "8"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "pari", "None"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "bpar", "1"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "Rutas", "File", "/tmp/llamadas.txt"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "App", "TimeConexion", "5"));
  EXPECT_EQ(DirectorioPrueba::Leer(ini),
            "[configura]\npuerto=12\nbseg=9600\nbdat=8\npari=None\nbpar=1\n"
            "[Rutas]\nFile=/tmp/llamadas.txt\n[App]\nTimeConexion=5\n");
  EXPECT_EQ(Leer(ini, "configura", "puerto"), "12");
  EXPECT_EQ(Leer(ini, "Rutas", "File"), "/tmp/llamadas.txt");
  EXPECT_EQ(Leer(ini, "App", "TimeConexion"), "5");

  // Replacing a value again leaves the file otherwise as it was.
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "bseg", "19200"));
  EXPECT_EQ(Leer(ini, "configura", "bseg"), "19200");
  EXPECT_EQ(Archivos(dir.Ruta()), 1u);  // no temporary file left behind
}

TEST(PerfilIni, LasLineasAjenasQuedanByteAByte) {
  DirectorioPrueba dir;
  const auto ini = dir.Ruta("CAPTURA.INI");
  const std::string antes =
      "; ajustes de la central\r\n"
      "\r\n"
      "[Otra]\r\n"
      "bseg=1\r\n"
      "  [ CONFIGURA ]  \r\n"
      "Puerto=3\r\n"
      "  BSEG =  2400  \r\n"
      "; bseg=ninguna\r\n"
      "linea sin igual\r\n"
      "\r\n"
      "[configura]\r\n"
      "bseg=300\r\n"
      "[Rutas]\r\n"
      "File=C:\\P\xe9rez\\x.txt";  // a Windows path in ANSI bytes, no final line break
  DirectorioPrueba::Escribir(ini, antes);

  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "bseg", "9600"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "configura", "bpar", "1"));
  EXPECT_TRUE(PerfilIni::EscribirValor(ini, "App", "TimeConexion", "5"));
  EXPECT_EQ(DirectorioPrueba::Leer(ini),
            "; ajustes de la central\r\n"
            "\r\n"
            "[Otra]\r\n"
            "bseg=1\r\n"
            "  [ CONFIGURA ]  \r\n"
            "Puerto=3\r\n"
            "BSEG=9600\r\n"
            "; bseg=ninguna\r\n"
            "linea sin igual\r\n"
            "bpar=1\r\n"
            "\r\n"
            "[configura]\r\n"
            "bseg=300\r\n"
            "[Rutas]\r\n"
            "File=C:\\P\xe9rez\\x.txt\r\n"
            "[App]\r\n"
            "TimeConexion=5\r\n");
  EXPECT_EQ(Leer(ini, "Rutas", "File"), "C:\\P\xe9rez\\x.txt");
}

TEST(PerfilIni, ReglasDeLectura) {
  DirectorioPrueba dir;
  const auto ini = dir.Ruta("CAPTURA.INI");
  DirectorioPrueba::Escribir(ini,
                             "suelta=fuera\n"
                             "[App]\n"
                             ";TimeConexion=9\n"
                             "  timeconexion   =   7   \r\n"
                             "TimeConexion=8\n"
                             "comillas=\"  con blancos  \"\n"
                             "simples='x'\n"
                             "coja=\"abierta\n"
                             "vacia=\n"
                             "[app]\n"
                             "otra=2\n");
  EXPECT_EQ(Leer(ini, "APP", "TIMECONEXION"), "7");  // first key wins, names in any case
  EXPECT_EQ(Leer(ini, "App", "comillas"), "  con blancos  ");
  EXPECT_EQ(Leer(ini, "App", "simples"), "x");
  EXPECT_EQ(Leer(ini, "App", "coja"), "\"abierta");
  EXPECT_EQ(Leer(ini, "App", "otra"), "");  // only the first [App] counts
  EXPECT_EQ(Leer(ini, "App", "suelta"), "");
  std::size_t vacia = 99;
  EXPECT_EQ(Leer(ini, "App", "vacia", &vacia), "");
  EXPECT_EQ(vacia, 0u);

  char buffer[8];
  EXPECT_EQ(PerfilIni::LeerValor(ini, "App", "falta", "def", buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "def");
  EXPECT_EQ(PerfilIni::LeerValor(dir.Ruta("NO-ESTA.INI"), "App", "TimeConexion", "", buffer,
                                 sizeof buffer),
            0u);
  EXPECT_STREQ(buffer, "");

  // A long value is stored whole and read through the buffer's 254 bytes.
  std::string largo;
  for (int i = 0; i < 300; ++i) largo += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(PerfilIni::EscribirValor(ini, "Rutas", "File", largo));
  std::size_t cuenta = 0;
  EXPECT_EQ(Leer(ini, "Rutas", "File", &cuenta), largo.substr(0, 254));
  EXPECT_EQ(cuenta, 254u);
  EXPECT_NE(DirectorioPrueba::Leer(ini).find(largo), std::string::npos);

  // A value goes on one line: it cannot add keys.
  ASSERT_TRUE(PerfilIni::EscribirValor(ini, "Rutas", "File", "a\r\n[App]\nvacia=1"));
  EXPECT_EQ(Leer(ini, "Rutas", "File"), "a  [App] vacia=1");
  EXPECT_EQ(Leer(ini, "App", "vacia"), "");
}

// As some editors write it: read past, and kept by a write.
TEST(PerfilIni, MarcaDeOrdenAlPrincipio) {
  DirectorioPrueba dir;
  const auto ini = dir.Ruta("CAPTURA.INI");
  DirectorioPrueba::Escribir(ini, "\xEF\xBB\xBF[configura]\r\npuerto=1\r\n");
  EXPECT_EQ(Leer(ini, "configura", "puerto"), "1");
  ASSERT_TRUE(PerfilIni::EscribirValor(ini, "configura", "puerto", "2"));
  EXPECT_EQ(DirectorioPrueba::Leer(ini), "\xEF\xBB\xBF[configura]\r\npuerto=2\r\n");
}

// A long section costs a pass over it, not one per line (bench/ajustes_bench
// gives the time): this takes minutes when it does not.
TEST(PerfilIni, SeccionDeVeinteMilLineas) {
  DirectorioPrueba dir;
  const auto ini = dir.Ruta("CAPTURA.INI");
  std::string texto = "[configura]\n";
  for (int i = 0; i < 20000; ++i)
    texto += "clave" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  DirectorioPrueba::Escribir(ini, texto);
  EXPECT_EQ(Leer(ini, "configura", "clave19999"), "19999");
  EXPECT_EQ(Leer(ini, "configura", "puerto"), "");
  ASSERT_TRUE(PerfilIni::EscribirValor(ini, "configura", "puerto", "3"));
  EXPECT_EQ(DirectorioPrueba::Leer(ini), texto + "puerto=3\n");
}

TEST(PerfilIni, GrabarConservaPermisosYEnlace) {
  DirectorioPrueba dir;
  const auto real = dir.Ruta("real.ini");
  const auto enlace = dir.Ruta("CAPTURA.INI");
  DirectorioPrueba::Escribir(real, "[App]\nTimeConexion=1\n");
  ::chmod(real.c_str(), 0640);
  std::filesystem::create_symlink(real, enlace);

  ASSERT_TRUE(PerfilIni::EscribirValor(enlace, "App", "TimeConexion", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(enlace));
  EXPECT_EQ(DirectorioPrueba::Leer(real), "[App]\nTimeConexion=2\n");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// The service's directory belongs to its operators' group: the file they
// save stays the group's and writable by it, new or not, whoever owned it.
TEST(PerfilIni, EnUnDirectorioDeOtroGrupoElArchivoQuedaDelGrupo) {
  DirectorioPrueba dir;
  const gid_t otro = ::getegid() == 65534 ? 65533 : 65534;
  if (::chown(dir.Ruta().c_str(), static_cast<uid_t>(-1), otro) != 0) {
    GTEST_SKIP() << "no se puede dar otro grupo al directorio";
  }
  const auto ini = dir.Ruta("CAPTURA.INI");
  for (const char* valor : {"1", "2"}) {
    ASSERT_TRUE(PerfilIni::EscribirValor(ini, "App", "TimeConexion", valor));
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, otro);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    ::chmod(ini.c_str(), 0600);  // the next save opens it to the group again
  }
  EXPECT_EQ(Leer(ini, "App", "TimeConexion"), "2");
}

TEST(PerfilIni, UnaGrabacionQueFallaNoCambiaNada) {
  DirectorioPrueba dir;
  // Missing directory, and a "directory" that is a file.
  EXPECT_FALSE(PerfilIni::EscribirValor(dir.Ruta("falta/CAPTURA.INI"), "App", "x", "1"));
  DirectorioPrueba::Escribir(dir.Ruta("archivo"), "");
  EXPECT_FALSE(PerfilIni::EscribirValor(dir.Ruta("archivo/CAPTURA.INI"), "App", "x", "1"));
  EXPECT_EQ(Archivos(dir.Ruta()), 1u);

  // A read-only file.
  const auto soloLectura = dir.Ruta("LECTURA.INI");
  DirectorioPrueba::Escribir(soloLectura, "[App]\nx=0\n");
  ::chmod(soloLectura.c_str(), 0444);
  EXPECT_FALSE(PerfilIni::EscribirValor(soloLectura, "App", "x", "1"));
  EXPECT_EQ(DirectorioPrueba::Leer(soloLectura), "[App]\nx=0\n");
}

TEST(PerfilIni, DirectorioSinPermisoDeEscritura) {
  DirectorioPrueba dir;
  const auto ini = dir.Ruta("CAPTURA.INI");
  DirectorioPrueba::Escribir(ini, "[App]\r\nx=0\r\n");
  ::chmod(ini.c_str(), 0666);
  ::chmod(dir.Ruta().c_str(), 0555);
  // The write runs as a user without rights in the directory (root ignores
  // them, so a child drops to nobody first).
  const pid_t hijo = ::fork();
  ASSERT_GE(hijo, 0);
  if (hijo == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    ::_exit(PerfilIni::EscribirValor(ini, "App", "x", "1") ? 1 : 0);
  }
  int estado = 0;
  ASSERT_EQ(::waitpid(hijo, &estado, 0), hijo);
  ASSERT_TRUE(WIFEXITED(estado));
  EXPECT_EQ(WEXITSTATUS(estado), 0);  // reported as failed
  EXPECT_EQ(DirectorioPrueba::Leer(ini), "[App]\r\nx=0\r\n");
  EXPECT_EQ(Archivos(dir.Ruta()), 1u);
}

}  // namespace
