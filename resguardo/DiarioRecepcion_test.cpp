#include "resguardo/DiarioRecepcion.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "prueba/DirectorioPrueba.h"
#include "prueba/LimiteArchivo.h"
#include "resguardo/ArchivoDisco.h"
#include "resguardo/MarcaCompletado.h"

namespace {

using Recuperado = DiarioRecepcion::Recuperado;

std::unique_ptr<DiarioRecepcion> Abrir(const std::string& dir, uint64_t umbral = 1 << 20) {
  auto diario = DiarioRecepcion::Abrir(dir, umbral);
  if (!diario) ADD_FAILURE() << diario.Falla().Descripcion;
  return diario ? std::move(diario.Dato()) : nullptr;
}

// The one stretch expected where nothing was damaged.
Recuperado Unico(const captura::Resultado<DiarioRecepcion::Tramos>& tramos) {
  if (!tramos) ADD_FAILURE() << tramos.Falla().Descripcion;
  if (tramos && tramos.Dato().size() != 1) ADD_FAILURE() << tramos.Dato().size() << " stretches";
  return tramos && !tramos.Dato().empty() ? tramos.Dato().front() : Recuperado{};
}

Recuperado Recuperar(const DiarioRecepcion& diario) { return Unico(diario.Recuperar()); }

Recuperado EnDisco(const std::string& dir) { return Unico(DiarioRecepcion::Leer(dir)); }

void Agregar(DiarioRecepcion& diario, std::string_view bytes) {
  auto agregado = diario.Agregar(bytes);
  ASSERT_TRUE(agregado) << agregado.Falla().Descripcion;
}

MATCHER_P2(EsRecuperado, posicion, bytes, "") {
  return arg.Posicion == static_cast<uint64_t>(posicion) && arg.Bytes == bytes;
}

// The byte the crash test sends at each stream position, so any byte read
// back can be checked without knowing what was acknowledged.
char ByteEn(uint64_t posicion) { return static_cast<char>((posicion * 131) ^ (posicion >> 9)); }

std::string BytesDesde(uint64_t posicion, size_t largo) {
  std::string bytes(largo, '\0');
  for (size_t i = 0; i < largo; ++i) bytes[i] = ByteEn(posicion + i);
  return bytes;
}

TEST(DiarioRecepcion, PosicionesYCompletadoSoloAvanzan) {
  DirectorioPrueba dir;
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario);
  EXPECT_EQ(diario->Fin(), 0u);
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(0, ""));

  Agregar(*diario, "linea uno\r\n");
  Agregar(*diario, "linea d");
  Agregar(*diario, "os\r\n");
  EXPECT_EQ(diario->Fin(), 22u);
  diario->Completado(10);
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(10, "\nlinea dos\r\n"));
  diario->Completado(4);  // behind the mark: no effect
  EXPECT_EQ(diario->Completo(), 10u);
  diario->Completado(500);  // past the end: only what was received can be done
  EXPECT_EQ(diario->Completo(), 22u);
  Agregar(*diario, "tres");
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(22, "tres"));
  EXPECT_EQ(diario->Fallos(), 0u);
  EXPECT_EQ(diario->SinAsegurar(), 0u);
}

TEST(DiarioRecepcion, TrasReabrirDevuelveLoNoCompletadoYSigueLaNumeracion) {
  DirectorioPrueba dir;
  {
    auto diario = Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    Agregar(*diario, "primera\r\nsegun");
    diario->Completado(8);
  }  // as after a kill: nothing is done on the way out
  {
    auto diario = Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    EXPECT_THAT(Recuperar(*diario), EsRecuperado(8, "\nsegun"));
    EXPECT_EQ(diario->Fin(), 14u);
    Agregar(*diario, "da\r\n");
    diario->Completado(17);
  }
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario);
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(17, "\n"));
  diario->Completado(18);
  diario.reset();
  diario = Abrir(dir.Ruta());
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(18, ""));
}

TEST(DiarioRecepcion, CompactaConYSinColaYLasPosicionesSobreviven) {
  DirectorioPrueba dir;
  constexpr uint64_t kUmbral = 100;
  auto diario = Abrir(dir.Ruta(), kUmbral);
  ASSERT_TRUE(diario);
  const std::string linea = std::string(80, 'x') + "\r\n";
  uint64_t fin = 0;
  for (int vuelta = 0; vuelta < 5; ++vuelta) {
    // Everything done: the file keeps no byte, only where the stream stands.
    Agregar(*diario, linea);
    Agregar(*diario, linea);
    fin += 2 * linea.size();
    diario->Completado(fin);
    EXPECT_THAT(EnDisco(dir.Ruta()), EsRecuperado(fin, "")) << vuelta;

    // A line begun: only it stays.
    Agregar(*diario, linea + "medi");
    fin += linea.size() + 4;
    diario->Completado(fin - 4);
    ASSERT_TRUE(diario->Compactar());
    EXPECT_THAT(EnDisco(dir.Ruta()), EsRecuperado(fin - 4, "medi")) << vuelta;
    EXPECT_THAT(Recuperar(*diario), EsRecuperado(fin - 4, "medi"));

    diario.reset();
    diario = Abrir(dir.Ruta(), kUmbral);
    ASSERT_TRUE(diario);
    EXPECT_EQ(diario->Fin(), fin);
    EXPECT_THAT(Recuperar(*diario), EsRecuperado(fin - 4, "medi"));
    Agregar(*diario, "a\r\n");
    fin += 3;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Ruta(DiarioRecepcion::kArchivo) + ".nuevo"));
}

// Below the threshold the done bytes stay; past it they go at the next line.
TEST(DiarioRecepcion, SoloCompactaAlPasarElUmbral) {
  DirectorioPrueba dir;
  auto diario = Abrir(dir.Ruta(), 1000);
  ASSERT_TRUE(diario);
  Agregar(*diario, std::string(1500, 'a'));
  diario->Completado(999);
  EXPECT_EQ(EnDisco(dir.Ruta()).Posicion, 0u);
  diario->Completado(1200);
  EXPECT_THAT(EnDisco(dir.Ruta()), EsRecuperado(1200, std::string(300, 'a')));
  diario->Completado(2199);  // clamped to the end, and below the next threshold
  EXPECT_EQ(diario->Base(), 1200u);
  EXPECT_EQ(diario->Completo(), 1500u);
}

TEST(DiarioRecepcion, UnaRanuraRotaDejaLaMarcaAnterior) {
  DirectorioPrueba dir;
  {
    auto diario = Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    Agregar(*diario, "0123456789");
    diario->Completado(3);
    diario->Completado(7);  // second slot
  }
  // Tear the latest slot: the earlier mark still counts.
  const std::string marca = dir.Ruta(DiarioRecepcion::kArchivoCompletado);
  std::string bytes = DirectorioPrueba::Leer(marca);
  ASSERT_EQ(bytes.size(), 32u);
  bytes[16] ^= 0x55;
  DirectorioPrueba::Escribir(marca, bytes);
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario);
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(3, "3456789"));
  diario->Completado(9);  // written over the torn slot
  diario.reset();
  diario = Abrir(dir.Ruta());
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(9, "9"));
}

// A file that cannot be read as a journal is kept aside as it is, told, and
// receiving goes on in a new journal.
TEST(DiarioRecepcion, UnArchivoAjenoSeApartaYSeEmpiezaOtro) {
  DirectorioPrueba dir;
  DirectorioPrueba::Escribir(dir.Ruta(DiarioRecepcion::kArchivo), "esto no es un diario");
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario->Dano());
  const std::string& texto = diario->Dano()->Descripcion;
  const auto aparte = texto.substr(texto.rfind(' ') + 1);
  EXPECT_EQ(DirectorioPrueba::Leer(aparte), "esto no es un diario");
  Agregar(*diario, "nuevo");
  diario.reset();
  diario = Abrir(dir.Ruta());
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(0, "nuevo"));
}

std::vector<std::string> CopiasAparte(const DirectorioPrueba& dir) {
  std::vector<std::string> copias;
  for (const auto& e : std::filesystem::directory_iterator(dir.Ruta())) {
    if (!e.path().filename().string().starts_with("recepcion.diario.danado-")) continue;
    EXPECT_EQ(e.status().permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    copias.push_back(DirectorioPrueba::Leer(e.path().string()));
  }
  return copias;
}

// A record damaged in the middle (a flipped byte in its bytes, or in its
// length): the records before and after it are recovered with their own
// positions, the gap stays a gap after a restart, and the file as it was is
// kept aside, readable by its owner only.
TEST(DiarioRecepcion, UnRegistroDanadoSoloPierdeSusBytes) {
  // The header, the first record (20 + 9 bytes), then the second one's
  // first byte or its length field.
  for (const size_t danado : {24 + 29 + 20, 24 + 29 + 16}) {
    SCOPED_TRACE(danado);
    DirectorioPrueba dir;
    {
      auto diario = Abrir(dir.Ruta());
      for (const char* bytes : {"hecho;uno", "dos\r\n", "tres"}) Agregar(*diario, bytes);
      diario->Completado(6);
    }
    std::string archivo = DirectorioPrueba::Leer(dir.Ruta(DiarioRecepcion::kArchivo));
    archivo[danado] ^= 0x04;
    DirectorioPrueba::Escribir(dir.Ruta(DiarioRecepcion::kArchivo), archivo);
    for (int vez = 0; vez < 2; ++vez) {
      auto diario = Abrir(dir.Ruta());
      ASSERT_TRUE(diario);
      EXPECT_EQ(diario->Dano().has_value(), vez == 0);
      auto tramos = diario->Recuperar();
      ASSERT_TRUE(tramos);
      EXPECT_THAT(tramos.Dato(),
                  testing::ElementsAre(EsRecuperado(6, "uno"), EsRecuperado(14, "tres")));
      EXPECT_EQ(diario->Fin(), 18u);
    }
    EXPECT_THAT(CopiasAparte(dir), testing::ElementsAre(archivo));
  }
}

// A journal larger than the window it is read through at start: a damaged
// record astride a window's edge costs only its bytes, the records after it
// come back whole with their positions.
TEST(DiarioRecepcion, UnDiarioGrandeSeLeePorTrozos) {
  DirectorioPrueba dir;
  constexpr size_t kLargo = 100'000;
  constexpr size_t kRegistros = 90;  // two windows and more
  {
    auto diario = Abrir(dir.Ruta(), uint64_t{1} << 40);
    for (size_t i = 0; i < kRegistros; ++i) Agregar(*diario, BytesDesde(i * kLargo, kLargo));
  }
  const auto ruta = dir.Ruta(DiarioRecepcion::kArchivo);
  constexpr size_t kRegistroDanado = 41;  // holds the first window's end
  {
    std::fstream archivo(ruta, std::ios::in | std::ios::out | std::ios::binary);
    archivo.seekp(24 + kRegistroDanado * (20 + kLargo) + 20 + 500);
    archivo.put('\x7f');
  }
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario && diario->Dano());
  auto tramos = diario->Recuperar();
  ASSERT_TRUE(tramos);
  EXPECT_THAT(
      tramos.Dato(),
      testing::ElementsAre(EsRecuperado(0, BytesDesde(0, kRegistroDanado * kLargo)),
                           EsRecuperado((kRegistroDanado + 1) * kLargo,
                                        BytesDesde((kRegistroDanado + 1) * kLargo,
                                                   (kRegistros - kRegistroDanado - 1) * kLargo))));
}

// Its header damaged on disk (a flipped bit in the base): the records still
// give their bytes and positions from the done mark on.
TEST(DiarioRecepcion, UnaCabeceraDanadaNoPierdeLoQueSigue) {
  DirectorioPrueba dir;
  {
    auto diario = Abrir(dir.Ruta());
    Agregar(*diario, "hecho;pendiente");
    diario->Completado(6);
  }
  std::string danado = DirectorioPrueba::Leer(dir.Ruta(DiarioRecepcion::kArchivo));
  danado[9] ^= 0x04;
  DirectorioPrueba::Escribir(dir.Ruta(DiarioRecepcion::kArchivo), danado);
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario && diario->Dano());
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(6, "pendiente"));
  EXPECT_THAT(CopiasAparte(dir), testing::ElementsAre(danado));
  Agregar(*diario, "nuevo");
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(6, "pendientenuevo"));
}

// A journal of the older form (its bytes bare after the header) loses
// nothing: read whole, and its header damaged, from the done mark on.
TEST(DiarioRecepcion, UnDiarioDeLaFormaAnteriorSeLee) {
  for (const bool cabeceraDanada : {false, true}) {
    DirectorioPrueba dir;
    ASSERT_TRUE(
        MarcaCompletado::Abrir(dir.Ruta(DiarioRecepcion::kArchivoCompletado)).Dato().Escribir(104));
    std::string viejo = "SNTRDIA1";
    for (const uint64_t campo : {uint64_t{100}, archivo_disco::Control(100)}) {
      viejo.append(reinterpret_cast<const char*>(&campo), sizeof campo);
    }
    viejo += "hechpendiente";
    if (cabeceraDanada) viejo[9] ^= 0x04;
    DirectorioPrueba::Escribir(dir.Ruta(DiarioRecepcion::kArchivo), viejo);
    auto diario = Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    EXPECT_EQ(diario->Dano().has_value(), cabeceraDanada);
    // Where the done bytes end is not known without the header: all of them
    // go through the checked path.
    EXPECT_THAT(Recuperar(*diario),
                EsRecuperado(104, cabeceraDanada ? "hechpendiente" : "pendiente"));
    Agregar(*diario, "!");
    diario.reset();
    EXPECT_THAT(Recuperar(*Abrir(dir.Ruta())),
                EsRecuperado(104, cabeceraDanada ? "hechpendiente!" : "pendiente!"));
  }
}

TEST(DiarioRecepcion, SinArchivoDeDatosLaNumeracionSigueDesdeLaMarca) {
  DirectorioPrueba dir;
  {
    auto diario = Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    Agregar(*diario, "abcdef");
    diario->Completado(6);
  }
  std::filesystem::remove(dir.Ruta(DiarioRecepcion::kArchivo));
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario);
  EXPECT_EQ(diario->Fin(), 6u);
  Agregar(*diario, "g");
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(6, "g"));
}

TEST(DiarioRecepcion, UnaEscrituraFallidaGuardaLosBytesYSeReintenta) {
  DirectorioPrueba dir;
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario);
  Agregar(*diario, "antes\r\n");
  {
    LimiteArchivo limite(40);
    EXPECT_FALSE(diario->Agregar(std::string(50, 'b')));
    EXPECT_FALSE(diario->Agregar("c\r\n"));
    EXPECT_EQ(diario->Fallos(), 2u);
    EXPECT_EQ(diario->UltimoFallo().Numero, EFBIG);
    EXPECT_EQ(diario->SinAsegurar(), 53u);
    // The bytes are held, in their places.
    EXPECT_EQ(diario->Fin(), 60u);
    EXPECT_THAT(Recuperar(*diario), EsRecuperado(0, "antes\r\n" + std::string(50, 'b') + "c\r\n"));
  }
  Agregar(*diario, "d");
  EXPECT_EQ(diario->SinAsegurar(), 0u);
  EXPECT_THAT(EnDisco(dir.Ruta()), EsRecuperado(0, "antes\r\n" + std::string(50, 'b') + "c\r\nd"));

  // Done bytes a failed write still holds are dropped, not written later:
  // the backlog is only what is not posted yet, and the disk keeps the gap.
  {
    LimiteArchivo limite(40);
    EXPECT_FALSE(diario->Agregar(std::string(50, 'e')));
    diario->Completado(111);
    EXPECT_EQ(diario->SinAsegurar(), 0u);
    EXPECT_FALSE(diario->Agregar("f\r\n"));
    EXPECT_EQ(diario->SinAsegurar(), 3u);
  }
  Agregar(*diario, "g");
  EXPECT_EQ(diario->SinAsegurar(), 0u);
  const auto enDisco = DiarioRecepcion::Leer(dir.Ruta());
  ASSERT_TRUE(enDisco);
  EXPECT_THAT(enDisco.Dato(),
              ::testing::ElementsAre(EsRecuperado(0, "antes\r\n" + std::string(50, 'b') + "c\r\nd"),
                                     EsRecuperado(111, "f\r\ng")));
}

// Received bytes may hold what looks like a record with a valid checksum.
// When the record carrying them is torn, resync must not take it: it claims
// a position the lost bytes could never have reached.
TEST(DiarioRecepcion, UnRegistroFalsoEnLosBytesNoSaltaLaPosicion) {
  DirectorioPrueba dir;
  std::string falso("\xA7RgD", 4);
  std::string datos;
  const uint64_t posicion = 1'000'000;
  const std::string carga = "3333 |099999999|01/01/26 00:00| 00:09:00|";
  const auto largo = static_cast<uint32_t>(carga.size());
  datos.append(reinterpret_cast<const char*>(&posicion), sizeof posicion);
  datos.append(reinterpret_cast<const char*>(&largo), sizeof largo);
  const uint32_t crc = archivo_disco::Crc32(carga, archivo_disco::Crc32(datos));
  falso.append(reinterpret_cast<const char*>(&crc), sizeof crc).append(datos).append(carga);
  {
    auto diario = Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    Agregar(*diario, "bueno");
    Agregar(*diario, "xx" + falso + std::string(100, 'y'));
  }
  const auto ruta = dir.Ruta(DiarioRecepcion::kArchivo);
  std::filesystem::resize_file(ruta, std::filesystem::file_size(ruta) - 50);  // torn
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario);
  EXPECT_LT(diario->Fin(), 1000u);
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(0, "bueno"));
}

// Bytes that never reached the disk but were done anyway do not pull the
// numbering back after a restart.
TEST(DiarioRecepcion, LoCompletadoSinLlegarAlDiscoNoRetrocedeLaNumeracion) {
  DirectorioPrueba dir;
  {
    auto diario = Abrir(dir.Ruta());
    ASSERT_TRUE(diario);
    LimiteArchivo limite(24 + 20 + 5);  // the header and one record of five bytes
    Agregar(*diario, "12345");
    EXPECT_FALSE(diario->Agregar("6789\r\n"));
    diario->Completado(11);
  }
  auto diario = Abrir(dir.Ruta());
  ASSERT_TRUE(diario);
  EXPECT_THAT(Recuperar(*diario), EsRecuperado(11, ""));
  EXPECT_EQ(diario->Fin(), 11u);
}

// Completado on one thread while another appends: every byte is kept and
// the mark never passes what was appended.
TEST(DiarioRecepcion, AgregarYCompletarDesdeHilosDistintos) {
  DirectorioPrueba dir;
  auto diario = Abrir(dir.Ruta(), 512);
  ASSERT_TRUE(diario);
  constexpr uint64_t kTotal = 40000;
  std::atomic<bool> listo = false;
  std::thread lector([&] {
    std::mt19937 azar(5);
    for (uint64_t p = 0; p < kTotal;) {
      const uint64_t n = std::min<uint64_t>(1 + azar() % 300, kTotal - p);
      if (!diario->Agregar(BytesDesde(p, n))) break;
      p += n;
    }
    listo = true;
  });
  std::mt19937 azar(6);
  for (bool ultima = false; !ultima;) {
    ultima = listo;
    const uint64_t fin = diario->Fin();
    diario->Completado(fin - (fin > 0 && !ultima ? azar() % std::min<uint64_t>(fin, 100) : 0));
    const auto resto = Recuperar(*diario);
    ASSERT_TRUE(resto.Bytes == BytesDesde(resto.Posicion, resto.Bytes.size()));
    ASSERT_GE(resto.Posicion + resto.Bytes.size(), fin);
    ASSERT_LE(diario->Completo(), fin);
  }
  lector.join();
  EXPECT_EQ(diario->Fallos(), 0u);
  EXPECT_EQ(diario->Completo(), kTotal);
  ASSERT_TRUE(diario->Compactar());
  EXPECT_THAT(EnDisco(dir.Ruta()), EsRecuperado(kTotal, ""));
}

// --- Crash safety: a child process appends, completes and compacts until
// it is killed at a random moment; every step it reported finished must
// hold after reopening.

struct Aviso {
  char Tipo;  // 'A' appended up to, 'I' about to complete, 'C' completed
  uint64_t Posicion;
};

[[noreturn]] void TrabajarHastaMorir(const std::string& dir, int salida, uint32_t semilla) {
  auto abierto = DiarioRecepcion::Abrir(dir, 2048);
  if (!abierto) ::_exit(2);
  DiarioRecepcion& diario = *abierto.Dato();
  const auto avisar = [&](char tipo, uint64_t posicion) {
    const Aviso aviso{tipo, posicion};
    if (::write(salida, &aviso, sizeof aviso) != sizeof aviso) ::_exit(3);
  };
  std::mt19937 azar(semilla);
  for (;;) {
    const unsigned paso = azar() % 10;
    if (paso < 5) {
      const uint64_t fin = diario.Fin();
      if (!diario.Agregar(BytesDesde(fin, 1 + azar() % 700))) ::_exit(4);
      avisar('A', diario.Fin());
    } else if (paso < 9) {
      const uint64_t completo = diario.Completo();
      const uint64_t posicion = completo + azar() % (diario.Fin() - completo + 1);
      avisar('I', posicion);
      diario.Completado(posicion);
      avisar('C', posicion);
    } else if (!diario.Compactar()) {
      ::_exit(5);
    }
  }
}

std::vector<Aviso> LeerAvisos(int entrada) {
  std::vector<Aviso> avisos;
  Aviso aviso{};
  while (::read(entrada, &aviso, sizeof aviso) == sizeof aviso) avisos.push_back(aviso);
  return avisos;
}

TEST(DiarioRecepcion, MatadoEnCualquierMomentoNoPierdeNiResucitaNada) {
  DirectorioPrueba dir;
  std::mt19937 azar(20240611);
  uint64_t completoAntes = 0, finAntes = 0;
  int conBytes = 0;
  for (int vuelta = 0; vuelta < 40; ++vuelta) {
    int tubo[2];
    ASSERT_EQ(::pipe(tubo), 0);
    const uint32_t semilla = azar();
    const pid_t hijo = ::fork();
    ASSERT_GE(hijo, 0);
    if (hijo == 0) {
      ::close(tubo[0]);
      TrabajarHastaMorir(dir.Ruta(), tubo[1], semilla);
    }
    ::close(tubo[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + azar() % 40000));
    ::kill(hijo, SIGKILL);
    int estado = 0;
    ::waitpid(hijo, &estado, 0);
    ASSERT_TRUE(WIFSIGNALED(estado)) << "the child stopped by itself: " << WEXITSTATUS(estado);
    const auto avisos = LeerAvisos(tubo[0]);
    ::close(tubo[0]);

    uint64_t agregado = finAntes, completado = completoAntes, intentado = completoAntes;
    for (const Aviso& aviso : avisos) {
      uint64_t& mayor = aviso.Tipo == 'A' ? agregado : aviso.Tipo == 'C' ? completado : intentado;
      mayor = std::max(mayor, aviso.Posicion);
    }
    auto diario = Abrir(dir.Ruta(), 2048);
    ASSERT_TRUE(diario);
    const Recuperado resto = Recuperar(*diario);
    SCOPED_TRACE("vuelta " + std::to_string(vuelta));
    EXPECT_FALSE(diario->Dano());  // a crash is no damage
    // Every acknowledged byte is either done or recovered, as it was sent.
    EXPECT_GE(diario->Fin(), agregado);
    EXPECT_EQ(resto.Posicion + resto.Bytes.size(), diario->Fin());
    EXPECT_TRUE(resto.Bytes == BytesDesde(resto.Posicion, resto.Bytes.size()));
    // Done positions never go back, nor past what was ever marked done.
    EXPECT_GE(resto.Posicion, completado);
    EXPECT_LE(resto.Posicion, intentado);
    EXPECT_FALSE(std::filesystem::exists(dir.Ruta(DiarioRecepcion::kArchivo) + ".nuevo"));
    completoAntes = resto.Posicion;
    finAntes = diario->Fin();
    conBytes += !resto.Bytes.empty();
  }
  // The kills hit a journal that did hold work, and compactions happened.
  EXPECT_GT(finAntes, 20000u);
  EXPECT_GT(conBytes, 5);
  EXPECT_GT(EnDisco(dir.Ruta()).Posicion, 0u);
}

}  // namespace
