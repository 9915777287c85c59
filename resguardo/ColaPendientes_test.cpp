#include "resguardo/ColaPendientes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "prueba/DirectorioPrueba.h"

namespace {

using Estado = LineaPendiente::Estado;

LineaPendiente Nueva(std::string linea, Estado estado = Estado::Pendiente) {
  LineaPendiente l;
  l.Linea = std::move(linea);
  l.Situacion = estado;
  l.Recibida = 1765000000;
  return l;
}

std::vector<std::string> Textos(const ColaPendientes& cola) {
  std::vector<std::string> r;
  for (const auto& [id, l] : cola.Lineas()) r.push_back(l.Linea);
  return r;
}

class Cola : public ::testing::Test {
 protected:
  DirectorioPrueba dir;
  const std::string ruta = dir.Ruta(ColaPendientes::kArchivo);
};

TEST_F(Cola, LoGuardadoVuelveTalCualAlReabrir) {
  // Any byte but CR can come from the exchange.
  const std::string rara(
      "\0\xFF\n|\xD1"
      "a\x01 ",
      9);
  uint64_t aparcada = 0, quitada = 0;
  {
    ColaPendientes cola(ruta);
    ASSERT_TRUE(cola.EstadoArchivo());
    cola.Agregar(Nueva("primera"));
    quitada = cola.Agregar(Nueva("segunda")).Id;
    LineaPendiente l = cola.Agregar(Nueva(rara));
    aparcada = l.Id;
    l.Situacion = Estado::Aparcada;
    l.Intentos = 3;
    l.UltimoIntento = 1765000100;
    l.PrimerFallo = captura::Fallo{-2147467259, "08001: sin conexión"};
    l.UltimoFallo = captura::Fallo{6, "Overflow"};
    l.Avance.Tarifa_ = AvanceRegistro::Tarifa{0.3f, -1.25f, 42, -7};
    l.Avance.Habitacion_ = AvanceRegistro::Habitacion{900, 15};
    l.Avance.Cargo = AvanceRegistro::Paso::Dudoso;
    l.Avance.Reserva_ = AvanceRegistro::Reserva::AConfirmar;
    cola.Actualizar(l);
    cola.Quitar(quitada);
    EXPECT_EQ(cola.Pendientes(), 1u);
    EXPECT_EQ(cola.Aparcadas(), 1u);
  }
  ColaPendientes cola(ruta);
  ASSERT_TRUE(cola.EstadoArchivo());
  EXPECT_EQ(Textos(cola), (std::vector<std::string>{"primera", rara}));
  EXPECT_EQ(cola.Pendientes(), 1u);
  EXPECT_EQ(cola.Aparcadas(), 1u);
  const LineaPendiente& l = cola.Lineas().at(aparcada);
  EXPECT_EQ(l.Situacion, Estado::Aparcada);
  EXPECT_EQ(l.Intentos, 3u);
  EXPECT_EQ(l.Recibida, 1765000000);
  EXPECT_EQ(l.UltimoIntento, 1765000100);
  ASSERT_TRUE(l.PrimerFallo && l.UltimoFallo);
  EXPECT_EQ(l.PrimerFallo->Numero, -2147467259);
  EXPECT_EQ(l.PrimerFallo->Descripcion, "08001: sin conexión");
  EXPECT_EQ(l.UltimoFallo->Numero, 6);
  EXPECT_EQ(l.Avance.Tarifa_, (AvanceRegistro::Tarifa{0.3f, -1.25f, 42, -7}));
  EXPECT_EQ(l.Avance.Habitacion_, (AvanceRegistro::Habitacion{900, 15}));
  EXPECT_EQ(l.Avance.Cargo, AvanceRegistro::Paso::Dudoso);
  EXPECT_EQ(l.Avance.Llamada, AvanceRegistro::Paso::Pendiente);
  EXPECT_TRUE(l.CargoAConfirmar());
  EXPECT_FALSE(cola.Lineas().begin()->second.PrimerFallo);
  EXPECT_EQ(cola.Lineas().begin()->second.Avance, AvanceRegistro{});
  // Numbering goes on after the highest ever given, removed ones included.
  EXPECT_GT(cola.Agregar(Nueva("nueva")).Id, aparcada);
}

// A line kept by the earlier version, which kept nothing of what it learned
// nor when it came: every row of it is looked up before it is posted, and it
// counts as arrived when loaded.
TEST_F(Cola, UnaLineaDeLaVersionAnteriorSeCompruebaEntera) {
  const std::string anterior(
      "\x53\x4E\x54\x4C\x50\x4E\x44\x31\x29\x00\x00\x00\xD4\xF4\xF0\xB4\x01\x07\x00\x00\x00"
      "\x00\x00\x00\x00\x01\x02\x00\x00\x00\x40\xC3\x33\x69\x00\x00\x00\x00\xA4\xC3\x33\x69"
      "\x00\x00\x00\x00\x00\x00\x05\x00\x00\x00\x76\x69\x65\x6A\x61",
      57);
  std::ofstream(ruta, std::ios::binary) << anterior;
  const int64_t antes = std::time(nullptr);
  ColaPendientes cola(ruta);
  ASSERT_TRUE(cola.EstadoArchivo());
  ASSERT_EQ(Textos(cola), std::vector<std::string>{"vieja"});
  EXPECT_EQ(cola.Lineas().at(7).Intentos, 2u);
  EXPECT_EQ(cola.Lineas().at(7).Avance, AvanceRegistro::Desconocido());
  EXPECT_GE(cola.Lineas().at(7).Recibida, antes);
}

TEST_F(Cola, UnaEscrituraCortadaSoloPierdeElCambioQueNoTermino) {
  {
    ColaPendientes cola(ruta);
    for (const char* t : {"uno", "dos", "tres"}) cola.Agregar(Nueva(t));
  }
  // The last change torn by a power cut, then garbage after it.
  std::filesystem::resize_file(ruta, std::filesystem::file_size(ruta) - 3);
  {
    ColaPendientes cola(ruta);
    ASSERT_TRUE(cola.EstadoArchivo()) << cola.EstadoArchivo().Falla().Descripcion;
    EXPECT_EQ(Textos(cola), (std::vector<std::string>{"uno", "dos"}));
    cola.Agregar(Nueva("cuatro"));
  }
  DirectorioPrueba::Escribir(ruta, DirectorioPrueba::Leer(ruta) + "\x05\0\0\0basura");
  ColaPendientes cola(ruta);
  EXPECT_EQ(Textos(cola), (std::vector<std::string>{"uno", "dos", "cuatro"}));
  cola.Agregar(Nueva("cinco"));
  EXPECT_EQ(Textos(ColaPendientes(ruta)),
            (std::vector<std::string>{"uno", "dos", "cuatro", "cinco"}));
}

// A bit flipped inside one change, or its length field damaged, costs that
// change only; the file as it was is kept aside, readable by its owner only.
// The last change whole but wrong is damage too, not a torn write.
TEST_F(Cola, UnCambioDanadoSoloPierdeEseCambio) {
  std::vector<std::size_t> inicios;
  {
    ColaPendientes cola(ruta);
    for (const char* t : {"uno", "dos", "tres"}) {
      inicios.push_back(std::filesystem::file_size(ruta));
      cola.Agregar(Nueva(t));
    }
  }
  const std::string sano = DirectorioPrueba::Leer(ruta);
  struct Caso {
    std::size_t posicion;
    std::vector<std::string> quedan;
  };
  for (const Caso& c : {Caso{inicios[0] + 20, {"dos", "tres"}},    // in the first payload
                        Caso{inicios[1] + 1, {"uno", "tres"}},     // the middle one's length
                        Caso{inicios[2] + 20, {"uno", "dos"}}}) {  // in the last payload
    std::string danado = sano;
    danado[c.posicion] ^= 0x10;
    for (const auto& e : std::filesystem::directory_iterator(dir.Ruta())) {
      if (e.path().filename() != ColaPendientes::kArchivo) std::filesystem::remove(e.path());
    }
    DirectorioPrueba::Escribir(ruta, danado);
    ColaPendientes cola(ruta);
    EXPECT_EQ(Textos(cola), c.quedan);
    ASSERT_TRUE(cola.Dano());
    EXPECT_NE(cola.Dano()->Descripcion.find("damaged"), std::string::npos);
    std::vector<std::filesystem::path> copias;
    for (const auto& e : std::filesystem::directory_iterator(dir.Ruta())) {
      if (e.path().filename().string().starts_with("pendientes.dat.danado-")) {
        copias.push_back(e.path());
      }
    }
    ASSERT_EQ(copias.size(), 1u);
    EXPECT_EQ(DirectorioPrueba::Leer(copias[0].string()), danado);
    EXPECT_EQ(std::filesystem::status(copias[0]).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    // Written again whole, the file is sound: nothing more is said at the next start.
    cola.Agregar(Nueva("cuatro"));
    EXPECT_TRUE(cola.EstadoArchivo());
  }
}

TEST_F(Cola, UnArchivoAjenoSeApartaSinBorrarlo) {
  DirectorioPrueba::Escribir(ruta, "no es una cola");
  ColaPendientes cola(ruta);
  EXPECT_TRUE(cola.Dano());
  EXPECT_TRUE(cola.Lineas().empty());
  int apartados = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Ruta())) {
    if (e.path().filename().string().starts_with("pendientes.dat.danado-")) {
      ++apartados;
      EXPECT_EQ(DirectorioPrueba::Leer(e.path()), "no es una cola");
    }
  }
  EXPECT_EQ(apartados, 1);
  cola.Agregar(Nueva("uno"));
  EXPECT_TRUE(cola.EstadoArchivo());
  EXPECT_EQ(Textos(ColaPendientes(ruta)), (std::vector<std::string>{"uno"}));
}

// Read in pieces: changes across their edges load whole, and damage deep
// in the file costs only its change.
TEST_F(Cola, UnArchivoGrandeSeLeePorPartes) {
  std::vector<std::string> lineas;
  std::size_t medio = 0;
  {
    ColaPendientes cola(ruta);
    for (int i = 0; i < 3000; ++i) {
      if (i == 1500) medio = std::filesystem::file_size(ruta);
      lineas.push_back("linea " + std::to_string(i) + std::string(70 + i % 13, 'x'));
      cola.Agregar(Nueva(lineas.back()));
    }
  }
  ASSERT_GT(std::filesystem::file_size(ruta), 4 * 64 * 1024);
  EXPECT_EQ(Textos(ColaPendientes(ruta)), lineas);
  std::string datos = DirectorioPrueba::Leer(ruta);
  datos[medio + 30] ^= 0x01;
  DirectorioPrueba::Escribir(ruta, datos);
  ColaPendientes cola(ruta);
  lineas.erase(lineas.begin() + 1500);
  EXPECT_EQ(Textos(cola), lineas);
  EXPECT_TRUE(cola.Dano());
}

TEST_F(Cola, ElArchivoNoCreceSinFin) {
  ColaPendientes cola(ruta);
  const uint64_t fija = cola.Agregar(Nueva("siempre", Estado::Aparcada)).Id;
  for (int i = 0; i < 2000; ++i) {
    LineaPendiente l = cola.Agregar(Nueva(std::string(80, 'x')));
    ++l.Intentos;
    cola.Actualizar(l);
    cola.Quitar(l.Id);
  }
  EXPECT_LT(std::filesystem::file_size(ruta), 64u * 1024);
  EXPECT_EQ(Textos(ColaPendientes(ruta)), (std::vector<std::string>{"siempre"}));
  cola.Quitar(fija);
  EXPECT_EQ(std::filesystem::file_size(ruta), 8u);  // the bare header
  EXPECT_FALSE(std::filesystem::exists(ruta + ".nuevo"));
}

// Every change reported done is on disk: a kill at any moment loses none.
TEST_F(Cola, SobreviveAUnKill9) {
  int tubo[2];
  ASSERT_EQ(pipe(tubo), 0);
  const pid_t hijo = fork();
  ASSERT_GE(hijo, 0);
  if (hijo == 0) {
    close(tubo[0]);
    ColaPendientes cola(ruta);
    for (uint32_t i = 0;; ++i) {
      cola.Agregar(Nueva("linea " + std::to_string(i)));
      if (i % 3 == 2) cola.Quitar(cola.Lineas().begin()->first);
      if (write(tubo[1], &i, sizeof i) != sizeof i) _exit(1);
    }
  }
  close(tubo[1]);
  uint32_t hechas = 0, i = 0;
  while (hechas < 300 && read(tubo[0], &i, sizeof i) == sizeof i) hechas = i + 1;
  kill(hijo, SIGKILL);
  int estado = 0;
  waitpid(hijo, &estado, 0);
  // What the child reported before it died is still in the pipe.
  while (read(tubo[0], &i, sizeof i) == sizeof i) hechas = i + 1;
  close(tubo[0]);
  ASSERT_TRUE(WIFSIGNALED(estado));

  ColaPendientes cola(ruta);
  ASSERT_TRUE(cola.EstadoArchivo());
  // Every reported change is there, in order; the change under way at the
  // kill may or may not be.
  const auto textos = Textos(cola);
  ASSERT_FALSE(textos.empty());
  const std::size_t quitadas = hechas / 3;
  const std::size_t primera = std::stoul(textos[0].substr(6));
  EXPECT_TRUE(primera == quitadas || primera == quitadas + 1) << primera << " " << hechas;
  for (std::size_t k = 0; k < textos.size(); ++k) {
    ASSERT_EQ(textos[k], "linea " + std::to_string(primera + k));
  }
  const std::size_t ultima = primera + textos.size() - 1;
  EXPECT_GE(ultima + 1, hechas);
  EXPECT_LE(ultima, hechas);
}

TEST_F(Cola, SinArchivoPosibleSigueEnMemoria) {
  ColaPendientes cola(dir.Ruta("no-existe/") + ColaPendientes::kArchivo);
  EXPECT_FALSE(cola.EstadoArchivo());
  cola.Agregar(Nueva("uno"));
  cola.Agregar(Nueva("dos"));
  EXPECT_FALSE(cola.EstadoArchivo());
  EXPECT_EQ(Textos(cola), (std::vector<std::string>{"uno", "dos"}));
  // Once the directory exists the whole queue is written.
  std::filesystem::create_directory(dir.Ruta("no-existe"));
  cola.Agregar(Nueva("tres"));
  EXPECT_TRUE(cola.EstadoArchivo());
  EXPECT_EQ(Textos(ColaPendientes(cola.Ruta())), (std::vector<std::string>{"uno", "dos", "tres"}));
}

}  // namespace
