#include "simulador/PuertoSimulado.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "prueba/DirectorioPrueba.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// The program's end of the line, opened the way a serial port is.
class Extremo {
 public:
  explicit Extremo(const std::filesystem::path& ruta)
      : fd_(::open(ruta.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (fd_ >= 0) {
      termios t{};
      ::tcgetattr(fd_, &t);
      cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~Extremo() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Abierto() const { return fd_ >= 0; }
  // Reads exactly n bytes or what came within the time limit.
  std::string Leer(size_t n, std::chrono::milliseconds limite = 10s) {
    std::string leido;
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (leido.size() < n && std::chrono::steady_clock::now() < fin) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char trozo[4096];
      const ssize_t r = ::read(fd_, trozo, std::min(sizeof trozo, n - leido.size()));
      if (r <= 0) break;
      leido.append(trozo, static_cast<size_t>(r));
    }
    return leido;
  }

 private:
  int fd_;
};

TEST(PuertoSimulado, EnlazaEnviaYQuitaElEnlace) {
  DirectorioPrueba dir;
  const auto enlace = dir.Ruta() / "COM3";
  {
    PuertoSimulado puerto(dir.Ruta(), 3);
    EXPECT_EQ(puerto.Enlace(), enlace);
    EXPECT_EQ(std::filesystem::read_symlink(enlace), puerto.Esclavo());
    EXPECT_FALSE(puerto.EsperarApertura(100ms));

    // Written before the program opens its end: kept, not echoed or altered.
    ASSERT_TRUE(puerto.Enviar("uno\r\n"));
    Extremo extremo(enlace);
    ASSERT_TRUE(extremo.Abierto());
    EXPECT_TRUE(puerto.EsperarApertura(1s));
    EXPECT_EQ(extremo.Leer(5), "uno\r\n");
    ASSERT_TRUE(puerto.Enviar("dos"));
    EXPECT_FALSE(puerto.EsperarLectura(300ms));  // "dos" still waits
    EXPECT_EQ(extremo.Leer(3), "dos");

    // More than the terminal holds: Enviar waits for the reader.
    std::string mucho(300000, '\0');
    for (size_t i = 0; i < mucho.size(); ++i) mucho[i] = static_cast<char>(i * 7);
    std::thread escritor([&] { EXPECT_TRUE(puerto.Enviar(mucho)); });
    EXPECT_EQ(extremo.Leer(mucho.size()), mucho);
    escritor.join();
    EXPECT_TRUE(puerto.EsperarLectura(1s));
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(enlace)));
}

TEST(PuertoSimulado, ReemplazaUnEnlaceViejoPeroNoUnArchivo) {
  DirectorioPrueba dir;
  std::filesystem::create_symlink("/dev/pts/no-existe", dir.Ruta() / "COM1");
  PuertoSimulado puerto(dir.Ruta(), 1);
  EXPECT_EQ(std::filesystem::read_symlink(dir.Ruta() / "COM1"), puerto.Esclavo());

  std::ofstream(dir.Ruta() / "COM2") << "dato";
  EXPECT_THROW(PuertoSimulado(dir.Ruta(), 2), std::system_error);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.Ruta() / "COM2"));
}

TEST(PuertoSimulado, LaSenalDeParadaCortaLasEsperas) {
  DirectorioPrueba dir;
  int tubo[2];
  ASSERT_EQ(::pipe(tubo), 0);
  PuertoSimulado puerto(dir.Ruta(), 1, tubo[0]);
  ASSERT_EQ(::write(tubo[1], "s", 1), 1);
  EXPECT_FALSE(puerto.EsperarApertura(-1ms));
  // Nobody reads: the line fills up and the send gives up on the stop.
  EXPECT_FALSE(puerto.Enviar(std::string(1 << 20, 'x')));
  ::close(tubo[0]);
  ::close(tubo[1]);
}

class Simulador {
 public:
  explicit Simulador(std::vector<std::string> argumentos) {
    argumentos.insert(argumentos.begin(), SIMULADOR_CENTRAL);
    std::vector<char*> argv;
    for (auto& a : argumentos) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  }
  ~Simulador() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Esperar();
    }
  }
  int Esperar() {
    int estado = 0;
    ::waitpid(std::exchange(pid_, -1), &estado, 0);
    return estado;
  }
  void Senal(int senal) { ::kill(pid_, senal); }

 private:
  pid_t pid_ = -1;
};

bool AparecerEnlace(const std::filesystem::path& enlace) {
  for (int i = 0; i < 200 && !std::filesystem::is_symlink(enlace); ++i) {
    std::this_thread::sleep_for(20ms);
  }
  return std::filesystem::is_symlink(enlace);
}

std::string LeerArchivo(const std::filesystem::path& ruta) {
  std::ifstream archivo(ruta, std::ios::binary);
  std::ostringstream texto;
  texto << archivo.rdbuf();
  return texto.str();
}

TEST(SimuladorCentral, EnviaLoQueRegistraYTerminaLimpio) {
  DirectorioPrueba dir;
  const auto registro = dir.Ruta() / "enviadas.txt";
  Simulador simulador({"--dir", dir.Ruta().string(), "--puerto", "4", "--llamadas", "9", "--rafaga",
                       "4", "--pausa", "0.1", "--semilla", "5", "--cabeceras", "100", "--demora",
                       "0.1", "--registro", registro.string()});
  const auto enlace = dir.Ruta() / "COM4";
  ASSERT_TRUE(AparecerEnlace(enlace));
  Extremo extremo(enlace);
  ASSERT_TRUE(extremo.Abierto());
  // 9 calls in bursts of 4 → 3 bursts, each opened by a heading line.
  const std::string recibido = extremo.Leer(12 * 82);
  const int estado = simulador.Esperar();
  EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);

  std::istringstream lineas(LeerArchivo(registro));
  std::string esperado;
  int cuantas = 0;
  for (std::string linea; std::getline(lineas, linea); ++cuantas) {
    EXPECT_EQ(linea.size(), 80u);
    esperado += linea + "\r\n";
  }
  EXPECT_EQ(cuantas, 12);
  EXPECT_EQ(recibido, esperado);
  EXPECT_FALSE(std::filesystem::is_symlink(enlace));
}

TEST(SimuladorCentral, SigtermQuitaElEnlace) {
  DirectorioPrueba dir;
  Simulador simulador({"--dir", dir.Ruta().string(), "--llamadas", "2", "--mantener"});
  const auto enlace = dir.Ruta() / "COM1";
  ASSERT_TRUE(AparecerEnlace(enlace));
  simulador.Senal(SIGTERM);  // still waiting for the program to open the port
  const int estado = simulador.Esperar();
  EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
  EXPECT_FALSE(std::filesystem::is_symlink(enlace));
}

TEST(SimuladorCentral, RechazaOpcionesMalas) {
  for (const char* mala : {"--puerto=0", "--ritmo=-1", "--desde=31/13/2024 10:00", "--rafaga=x"}) {
    Simulador simulador({mala});
    const int estado = simulador.Esperar();
    EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 2) << mala;
  }
}

}  // namespace
