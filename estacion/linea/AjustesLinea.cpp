#include "estacion/linea/AjustesLinea.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr tcflag_t kBitsLinea = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

captura::Fallo FalloAjustes(const std::string& texto, const char* motivo) {
  return captura::Fallo{EINVAL, "Ajustes de línea no válidos \"" + texto + "\": " + motivo};
}

std::vector<std::string_view> Campos(std::string_view texto) {
  std::vector<std::string_view> campos;
  size_t inicio = 0;
  for (size_t coma = texto.find(','); coma != std::string_view::npos;
       coma = texto.find(',', inicio)) {
    campos.push_back(texto.substr(inicio, coma - inicio));
    inicio = coma + 1;
  }
  campos.push_back(texto.substr(inicio));
  return campos;
}

// Only plain decimal digits: no blanks, signs or fractions.
bool LeerNumero(std::string_view campo, unsigned long& numero) {
  if (campo.empty()) return false;
  auto [fin, error] = std::from_chars(campo.data(), campo.data() + campo.size(), numero);
  return error == std::errc() && fin == campo.data() + campo.size();
}

// Looks clave up in a table of {key, value} pairs.
template <class Clave, class Valor, size_t N>
bool Buscar(const std::pair<Clave, Valor> (&tabla)[N], Clave clave, Valor& valor) {
  for (const auto& [k, v] : tabla) {
    if (k == clave) {
      valor = v;
      return true;
    }
  }
  return false;
}

bool ConstanteVelocidad(unsigned long bps, speed_t& velocidad) {
  static constexpr std::pair<unsigned long, speed_t> kVelocidades[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000},
  };
  return Buscar(kVelocidades, bps, velocidad);
}

bool Paridad(std::string_view campo, tcflag_t& bits) {
  static constexpr std::pair<char, tcflag_t> kLetras[] = {{'n', 0},
                                                          {'e', PARENB},
                                                          {'o', PARENB | PARODD},
                                                          {'m', PARENB | CMSPAR | PARODD},
                                                          {'s', PARENB | CMSPAR}};
  if (campo.size() != 1) return false;
  const char letra = static_cast<char>(std::tolower(static_cast<unsigned char>(campo[0])));
  return Buscar(kLetras, letra, bits);
}

bool BitsDatos(std::string_view campo, tcflag_t& bits) {
  static constexpr tcflag_t kTamanos[] = {CS5, CS6, CS7, CS8};
  unsigned long n = 0;
  if (!LeerNumero(campo, n) || n < 5 || n > 8) return false;
  bits = kTamanos[n - 5];
  return true;
}

}  // namespace

captura::Resultado<AjustesLinea> AjustesLinea::Leer(const std::string& texto) {
  const auto campos = Campos(texto);
  if (campos.size() != 4) return FalloAjustes(texto, "se esperan cuatro campos");
  unsigned long bps = 0;
  speed_t velocidad = B0;
  if (!LeerNumero(campos[0], bps) || !ConstanteVelocidad(bps, velocidad)) {
    return FalloAjustes(texto, "velocidad");
  }
  tcflag_t paridad = 0;
  if (!Paridad(campos[1], paridad)) return FalloAjustes(texto, "paridad");
  tcflag_t datos = 0;
  if (!BitsDatos(campos[2], datos)) return FalloAjustes(texto, "bits de datos");
  tcflag_t parada = 0;
  if (campos[3] == "2") {
    parada = CSTOPB;
  } else if (campos[3] == "1.5" && datos == CS5) {
    // A UART sends 1.5 stop bits when asked for 2 with 5-bit characters;
    // with longer characters 1.5 cannot be had.
    parada = CSTOPB;
  } else if (campos[3] != "1") {
    return FalloAjustes(texto, "bits de parada");
  }
  return AjustesLinea(velocidad, paridad | datos | parada);
}

void AjustesLinea::Aplicar(termios& t) const {
  cfmakeraw(&t);
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  t.c_cflag &= ~(kBitsLinea | CRTSCTS);
  t.c_cflag |= control_ | CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, velocidad_);
  cfsetospeed(&t, velocidad_);
}

bool AjustesLinea::Conservados(const termios& t) const {
  return (t.c_cflag & kBitsLinea) == control_ && cfgetispeed(&t) == velocidad_ &&
         cfgetospeed(&t) == velocidad_;
}
