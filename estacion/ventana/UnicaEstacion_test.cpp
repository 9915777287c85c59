#include "estacion/ventana/UnicaEstacion.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>

#include <cstddef>
#include <cstring>

#include "prueba/DirectorioPrueba.h"

namespace {

// A process of another user listening on the name first, as anyone may in
// the abstract namespace; it goes with the object.
class Ocupante {
 public:
  explicit Ocupante(const QString& nombre) {
    int tubo[2];
    if (::pipe(tubo) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const QByteArray bytes = nombre.toUtf8();
      sockaddr_un dir{};
      dir.sun_family = AF_UNIX;
      std::memcpy(dir.sun_path + 1, bytes.constData(), static_cast<size_t>(bytes.size()));
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      const auto largo = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + bytes.size());
      const bool listo = ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                         ::bind(fd, reinterpret_cast<sockaddr*>(&dir), largo) == 0 &&
                         ::listen(fd, 4) == 0;
      [[maybe_unused]] auto escrito = ::write(tubo[1], listo ? "1" : "0", 1);
      ::pause();
      ::_exit(0);
    }
    char leido = 0;
    listo_ = pid_ > 0 && ::read(tubo[0], &leido, 1) == 1 && leido == '1';
    ::close(tubo[0]);
    ::close(tubo[1]);
  }
  ~Ocupante() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool Listo() const { return listo_; }

 private:
  pid_t pid_ = -1;
  bool listo_ = false;
};

// A second start reaches the running station, which brings its window back.
// A name another user took first: the station says it cannot be reached,
// and a second start does not take that listener for the station.
TEST(UnicaEstacion, UnSegundoInicioSoloCreeAUnaEstacionDelMismoUsuario) {
  DirectorioPrueba dir;
  const std::string directorio = dir.Ruta().string();
  {
    UnicaEstacion estacion;
    int presentada = 0;
    QObject::connect(&estacion, &UnicaEstacion::Presentar, [&] { ++presentada; });
    ASSERT_TRUE(estacion.Tomar(directorio));
    EXPECT_EQ(estacion.FalloEscucha(), "");
    EXPECT_TRUE(UnicaEstacion::PedirPresentar(directorio));
    EXPECT_TRUE(QTest::qWaitFor([&] { return presentada == 1; }, 5000));
  }
  if (::geteuid() != 0) GTEST_SKIP() << "only root can listen as another user";
  Ocupante ajeno(UnicaEstacion::NombreSocket(directorio));
  ASSERT_TRUE(ajeno.Listo());
  UnicaEstacion estacion;
  ASSERT_TRUE(estacion.Tomar(directorio));
  EXPECT_NE(estacion.FalloEscucha(), "");
  EXPECT_FALSE(UnicaEstacion::PedirPresentar(directorio));
}

}  // namespace
