#include "llamadas/RegistroLlamada.h"

#include <cmath>
#include <cstdint>

#include "captura/Regional.h"
#include "captura/Valor.h"
#include "llamadas/Texto.h"

namespace {

constexpr std::size_t kNoHay = std::string_view::npos;

std::optional<int16_t> A16Bits(double valor) {
  const double redondo = std::nearbyint(valor);  // halves to even
  if (redondo < INT16_MIN || redondo > INT16_MAX) return std::nullopt;
  return static_cast<int16_t>(redondo);
}

bool EsBlanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool EsDigito(char c) { return c >= '0' && c <= '9'; }

// The n-th "|" of the line, the first one searched from position 7.
std::size_t Separador(std::string_view linea, std::size_t anterior) {
  const std::size_t desde = anterior == kNoHay ? 6 : anterior + 1;
  return linea.find('|', desde);
}

std::string_view Entre(std::string_view linea, std::size_t a, std::size_t b) {
  return linea.substr(a + 1, b - a - 1);
}

}  // namespace

std::optional<int16_t> RegistroLlamada::LeerLenient(std::string_view texto) {
  std::string limpio;
  for (const char c : texto) {
    if (!EsBlanco(c)) limpio.push_back(c);
  }
  std::size_t i = 0;
  const bool negativo = i < limpio.size() && limpio[i] == '-';
  if (i < limpio.size() && (limpio[i] == '-' || limpio[i] == '+')) ++i;
  double valor = 0;
  for (; i < limpio.size() && EsDigito(limpio[i]); ++i) valor = valor * 10 + (limpio[i] - '0');
  if (i < limpio.size() && limpio[i] == '.') {
    double escala = 0.1;
    for (++i; i < limpio.size() && EsDigito(limpio[i]); ++i, escala /= 10) {
      valor += (limpio[i] - '0') * escala;
    }
  }
  return A16Bits(negativo ? -valor : valor);
}

std::optional<int16_t> RegistroLlamada::LeerEstricto(std::string_view texto) {
  const auto numero = captura::Valor::Texto(std::string(texto)).ALong();
  if (!numero) return std::nullopt;
  return A16Bits(numero.Dato());
}

RegistroLlamada RegistroLlamada::Leer(std::string_view linea,
                                      std::optional<captura::Regional::Orden> ordenFecha) {
  RegistroLlamada r;
  r.LeerCampos(linea);
  r.Derivar(ordenFecha);
  return r;
}

void RegistroLlamada::LeerCampos(std::string_view linea) {
  const std::string_view anexo = Tramo(linea, 1, 4);
  // An extension printed with a leading 2 is kept without its first character.
  Anexo = Recortar(anexo).starts_with('2') ? anexo.substr(1) : anexo;

  const std::size_t s1 = Separador(linea, kNoHay);
  const std::size_t s2 = s1 == kNoHay ? kNoHay : Separador(linea, s1);
  const std::size_t s3 = s2 == kNoHay ? kNoHay : Separador(linea, s2);
  const std::size_t s4 = s3 == kNoHay ? kNoHay : Separador(linea, s3);
  if (s2 != kNoHay) {
    Discado = Entre(linea, s1, s2);
    Fecha = Tramo(linea, s2 + 1, 8);
    Hora = Tramo(linea, s2 + 10, 5);
  }
  if (s4 != kNoHay) Tiempo = Entre(linea, s3, s4);
  Codigo = Recortar(Tramo(linea, 75, 4));
}

void RegistroLlamada::Derivar(std::optional<captura::Regional::Orden> ordenFecha) {
  using captura::Regional;
  const auto fecha =
      ordenFecha ? Regional::LeerFecha(Fecha, *ordenFecha) : Regional::LeerFecha(Fecha);
  if (fecha) {
    FechaLlamada = *fecha;
  } else {
    FechaIlegible = !Recortar(Fecha).empty();
  }
  const std::string hora = std::string(Hora.substr(0, 2)) + ":" + std::string(Derecha(Hora, 2));
  if (auto valor = captura::Regional::LeerHora(hora)) HoraLlamada = *valor;

  // hh:mm:ss, mm:ss or ss, right-aligned in the field.
  const std::string_view tiempo = Recortar(Tiempo);
  if (tiempo.size() > 5) {
    const auto horas = LeerLenient(Derecha(tiempo.substr(0, tiempo.size() - 6), 2));
    if (horas && std::abs(*horas) <= INT16_MAX / 60)
      HorasEnMinutos = static_cast<int16_t>(*horas * 60);
  }
  if (tiempo.size() >= 3) {
    if (auto minutos = LeerLenient(Derecha(tiempo.substr(0, tiempo.size() - 3), 2))) {
      MinutosLlamada = *minutos;
    }
  }
  if (auto segundos = LeerLenient(Derecha(tiempo, 2))) SegundosLlamada = *segundos;

  const auto cabeza = LeerEstricto(Tramo(Tiempo, 0, 3));
  const auto cola = LeerEstricto(Tramo(Tiempo, 4, 2));
  if (cabeza && cola) {
    if (auto suma = A16Bits(static_cast<double>(*cabeza) + *cola)) ControlTiempo = *suma;
  }
}

bool RegistroLlamada::EsValido() const {
  return !Recortar(Anexo).empty() && !Recortar(Discado).empty() && ControlTiempo != 0;
}
