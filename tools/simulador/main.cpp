// simulador-central: plays the hotel's telephone exchange on a pseudo-terminal
// linked as COMn in a program directory, or listening on the network for the
// station to connect, sending call lines in bursts.
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "simulador/CentralTcp.h"
#include "simulador/GeneradorLlamadas.h"
#include "simulador/PuertoSimulado.h"

namespace {

using Milisegundos = std::chrono::milliseconds;

struct Opciones {
  std::filesystem::path Directorio = ".";
  int Puerto = 1;
  int Llamadas = 40;
  double Ritmo = 0;  // lines a second; 0 = as fast as the line takes them
  int Rafaga = 5;
  double Pausa = 4;
  uint32_t Semilla = static_cast<uint32_t>(std::time(nullptr));
  std::optional<GeneradorLlamadas::Inicio> Inicio;
  int Cabeceras = 20;  // percent of bursts that open with a heading line
  int Cortas = 5;      // percent of calls under one minute
  std::string Registro;
  bool EsperarApertura = true;
  double Demora = 1;
  bool Mantener = false;
  std::optional<int> Red;  // TCP port to listen on, instead of the serial line
  bool Conectar = false;   // connect to the station's port instead of listening
  std::string DireccionRed = "127.0.0.1";
};

int tuboParar[2] = {-1, -1};

void AlSenal(int) {
  const char c = 's';
  [[maybe_unused]] auto escrito = ::write(tuboParar[1], &c, 1);
}

void InstalarSenales() {
  if (::pipe2(tuboParar, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("pipe2");
    std::exit(1);
  }
  struct sigaction accion {};
  accion.sa_handler = AlSenal;
  sigemptyset(&accion.sa_mask);
  ::sigaction(SIGINT, &accion, nullptr);
  ::sigaction(SIGTERM, &accion, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

// Sleeps, unless a signal comes first (then false).
bool Dormir(Milisegundos tiempo) {
  pollfd parar{tuboParar[0], POLLIN, 0};
  int listos = 0;
  do {
    listos = ::poll(&parar, 1, static_cast<int>(tiempo.count()));
  } while (listos < 0 && errno == EINTR);
  return listos == 0;
}

void Uso() {
  std::cerr << R"(Uso: simulador-central [opciones]
  --dir DIR         directorio del programa donde se crea el enlace COMn (.)
  --puerto N        numero de puerto n del enlace COMn (1)
  --llamadas N      llamadas a enviar (40)
  --ritmo N         lineas por segundo; 0 = tan rapido como la linea acepte (0)
  --rafaga N        lineas por rafaga (5)
  --pausa S         segundos de silencio entre rafagas, admite decimales (4)
  --semilla N       semilla del azar (la hora)
  --desde "dd/mm/aaaa hh:mm"  fecha y hora de la primera llamada (ahora)
  --cabeceras P     porcentaje de rafagas que empiezan con una cabecera (20)
  --cortas P        porcentaje de llamadas de menos de un minuto (5)
  --registro F      escribe cada linea enviada (80 caracteres) en F; "-" = salida
  --sin-espera      envia sin esperar a que el programa abra el puerto
  --demora S        segundos entre la apertura del puerto y la primera linea (1)
  --mantener        al terminar sigue con el puerto hasta Ctrl-C o SIGTERM
  --red PUERTO      en vez del enlace COMn escucha en la red (0 = un puerto libre) a
                    que la estacion se conecte; si la conexion se corta espera otra
                    y vuelve a enviar la linea entera
  --conectar        con --red, se conecta a la estacion que escucha en ese puerto
                    (reintenta hasta que responde) en vez de escuchar
  --direccion IP    direccion en la que escucha, o a la que se conecta, con --red
                    (127.0.0.1)
)";
}

bool LeerInicio(const char* texto, GeneradorLlamadas::Inicio& inicio) {
  char resto = 0;
  return std::sscanf(texto, "%d/%d/%d %d:%d%c", &inicio.Dia, &inicio.Mes, &inicio.Anio,
                     &inicio.Hora, &inicio.Minuto, &resto) == 5 &&
         inicio.Mes >= 1 && inicio.Mes <= 12 && inicio.Dia >= 1 && inicio.Dia <= 31 &&
         inicio.Hora >= 0 && inicio.Hora < 24 && inicio.Minuto >= 0 && inicio.Minuto < 60;
}

GeneradorLlamadas::Inicio Ahora() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&t, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min};
}

std::optional<Opciones> LeerOpciones(int argc, char** argv) {
  enum {
    kDir = 1,
    kPuerto,
    kLlamadas,
    kRitmo,
    kRafaga,
    kPausa,
    kSemilla,
    kDesde,
    kCabeceras,
    kCortas,
    kRegistro,
    kSinEspera,
    kDemora,
    kMantener,
    kRed,
    kDireccion,
    kConectar,
    kAyuda
  };
  static const option kLargas[] = {{"dir", required_argument, nullptr, kDir},
                                   {"puerto", required_argument, nullptr, kPuerto},
                                   {"llamadas", required_argument, nullptr, kLlamadas},
                                   {"ritmo", required_argument, nullptr, kRitmo},
                                   {"rafaga", required_argument, nullptr, kRafaga},
                                   {"pausa", required_argument, nullptr, kPausa},
                                   {"semilla", required_argument, nullptr, kSemilla},
                                   {"desde", required_argument, nullptr, kDesde},
                                   {"cabeceras", required_argument, nullptr, kCabeceras},
                                   {"cortas", required_argument, nullptr, kCortas},
                                   {"registro", required_argument, nullptr, kRegistro},
                                   {"sin-espera", no_argument, nullptr, kSinEspera},
                                   {"demora", required_argument, nullptr, kDemora},
                                   {"mantener", no_argument, nullptr, kMantener},
                                   {"red", required_argument, nullptr, kRed},
                                   {"direccion", required_argument, nullptr, kDireccion},
                                   {"conectar", no_argument, nullptr, kConectar},
                                   {"help", no_argument, nullptr, kAyuda},
                                   {nullptr, 0, nullptr, 0}};
  Opciones o;
  for (int c; (c = getopt_long(argc, argv, "", kLargas, nullptr)) != -1;) {
    const std::string valor = optarg ? optarg : "";
    try {
      switch (c) {
        case kDir:
          o.Directorio = valor;
          break;
        case kPuerto:
          o.Puerto = std::stoi(valor);
          break;
        case kLlamadas:
          o.Llamadas = std::stoi(valor);
          break;
        case kRitmo:
          o.Ritmo = std::stod(valor);
          break;
        case kRafaga:
          o.Rafaga = std::stoi(valor);
          break;
        case kPausa:
          o.Pausa = std::stod(valor);
          break;
        case kSemilla:
          o.Semilla = static_cast<uint32_t>(std::stoul(valor));
          break;
        case kDesde:
          o.Inicio.emplace();
          if (!LeerInicio(optarg, *o.Inicio)) return std::nullopt;
          break;
        case kCabeceras:
          o.Cabeceras = std::stoi(valor);
          break;
        case kCortas:
          o.Cortas = std::stoi(valor);
          break;
        case kRegistro:
          o.Registro = valor;
          break;
        case kSinEspera:
          o.EsperarApertura = false;
          break;
        case kDemora:
          o.Demora = std::stod(valor);
          break;
        case kMantener:
          o.Mantener = true;
          break;
        case kRed:
          o.Red = std::stoi(valor);
          break;
        case kDireccion:
          o.DireccionRed = valor;
          break;
        case kConectar:
          o.Conectar = true;
          break;
        default:
          return std::nullopt;
      }
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  if (optind != argc || o.Puerto < 1 || o.Llamadas < 0 || o.Ritmo < 0 || o.Rafaga < 1 ||
      o.Pausa < 0 || o.Demora < 0 || (o.Red && (*o.Red < 0 || *o.Red > 65535)) ||
      (o.Conectar && (!o.Red || *o.Red == 0))) {
    return std::nullopt;
  }
  return o;
}

Milisegundos Segundos(double s) { return Milisegundos(static_cast<long long>(s * 1000)); }

// Sends the calls through enviarBytes; false when interrupted.
bool Transmitir(const Opciones& o, const std::function<bool(const std::string&)>& enviarBytes,
                std::ostream* registro) {
  GeneradorLlamadas generador(o.Semilla, o.Inicio.value_or(Ahora()));
  std::mt19937 azar(o.Semilla ^ 0x5a5a5a5au);
  const auto intervalo = o.Ritmo > 0 ? Segundos(1.0 / o.Ritmo) : Milisegundos(0);
  auto siguiente = std::chrono::steady_clock::now();
  auto enviar = [&](const std::string& linea) {
    if (intervalo.count() > 0) {
      const auto falta =
          std::chrono::duration_cast<Milisegundos>(siguiente - std::chrono::steady_clock::now());
      if (falta.count() > 0 && !Dormir(falta)) return false;
      siguiente += intervalo;
    }
    if (!enviarBytes(linea + "\r\n")) return false;
    if (registro) *registro << linea << '\n' << std::flush;
    return true;
  };
  int enviadas = 0;
  while (enviadas < o.Llamadas) {
    if (enviadas > 0) {
      if (!Dormir(Segundos(o.Pausa))) return false;
      siguiente = std::chrono::steady_clock::now();
    }
    if (std::uniform_int_distribution<int>(1, 100)(azar) <= o.Cabeceras &&
        !enviar(generador.Cabecera())) {
      return false;
    }
    for (int i = 0; i < o.Rafaga && enviadas < o.Llamadas; ++i, ++enviadas) {
      if (!enviar(generador.Siguiente(o.Cortas).Texto())) return false;
    }
  }
  std::cerr << "simulador-central: " << enviadas << " llamadas enviadas\n";
  return true;
}

// The exchange on the network: like one with a buffer, a line the broken
// connection may have lost is sent again, whole, on the next one.
int PorLaRed(const Opciones& o, std::ostream* registro) {
  const auto puerto = static_cast<uint16_t>(*o.Red);
  CentralTcp central(o.Conectar ? 0 : puerto, o.DireccionRed, tuboParar[0]);
  auto enlazar = [&] {
    return o.Conectar ? central.Conectar(o.DireccionRed, puerto, std::chrono::hours(24))
                      : central.EsperarConexion(Milisegundos(-1));
  };
  std::cerr << "simulador-central: " << (o.Conectar ? "conectando a " : "escuchando en ")
            << o.DireccionRed << ":" << (o.Conectar ? puerto : central.Puerto()) << " (semilla "
            << o.Semilla << ")\n";
  if (!enlazar()) return 0;
  auto enviar = [&](const std::string& bytes) {
    while (!central.Enviar(bytes)) {
      std::cerr << "simulador-central: conexion cortada, esperando otra\n";
      if (!enlazar()) return false;
    }
    return true;
  };
  if (!Transmitir(o, enviar, registro)) return 0;
  if (o.Mantener) {
    while (Dormir(std::chrono::hours(1))) {
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto opciones = LeerOpciones(argc, argv);
  if (!opciones) {
    Uso();
    return 2;
  }
  const Opciones& o = *opciones;
  InstalarSenales();

  std::unique_ptr<std::ofstream> archivo;
  std::ostream* registro = nullptr;
  if (o.Registro == "-") {
    registro = &std::cout;
  } else if (!o.Registro.empty()) {
    archivo = std::make_unique<std::ofstream>(o.Registro, std::ios::binary | std::ios::trunc);
    if (!*archivo) {
      std::cerr << "simulador-central: no se puede escribir " << o.Registro << '\n';
      return 1;
    }
    registro = archivo.get();
  }

  try {
    if (o.Red) return PorLaRed(o, registro);
    PuertoSimulado puerto(o.Directorio, o.Puerto, tuboParar[0]);
    std::cerr << "simulador-central: " << puerto.Enlace().string() << " -> " << puerto.Esclavo()
              << " (semilla " << o.Semilla << ")\n";
    if (o.EsperarApertura) {
      std::cerr << "simulador-central: esperando que el programa abra el puerto\n";
      if (!puerto.EsperarApertura(Milisegundos(-1))) return 0;
      // The program throws away what waits at the opening; give it time.
      if (!Dormir(Segundos(o.Demora))) return 0;
    }
    if (!Transmitir(
            o, [&](const std::string& b) { return puerto.Enviar(b); }, registro))
      return 0;
    if (!puerto.EsperarLectura(Milisegundos(-1))) return 0;
    if (o.Mantener) {
      while (Dormir(std::chrono::hours(1))) {
      }
    }
  } catch (const std::system_error& e) {
    std::cerr << "simulador-central: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
