// The framer over any stream cut into any reads, with gaps between some of
// them: the lines, where they end and the line a gap cuts must not depend on
// how the stream was split.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "llamadas/EnmarcadorLineas.h"
#include "llamadas/RegistroLlamada.h"

namespace {

struct Retorno {
  std::string Linea;
  std::size_t Fin;  // stream position after the carriage return
  bool operator==(const Retorno&) const = default;
};

void Enmarcar(EnmarcadorLineas& enmarcador, std::string_view texto, std::size_t posicion,
              std::vector<Retorno>& retornos) {
  enmarcador.Enmarcar(texto, [&](std::string_view linea, std::size_t trasRetorno) {
    if (trasRetorno == 0 || trasRetorno > texto.size() || texto[trasRetorno - 1] != '\r') {
      std::abort();
    }
    if (!linea.empty() && linea.size() != RegistroLlamada::kLargoLinea) std::abort();
    retornos.push_back({std::string(linea), posicion + trasRetorno});
  });
}

// The line begun at the end of a stretch read without a gap.
std::string Empezada(std::string_view tramo) {
  if (tramo.size() > RegistroLlamada::kLargoLinea) {
    tramo.remove_prefix(tramo.size() - RegistroLlamada::kLargoLinea);
  }
  const auto retorno = tramo.rfind('\r');
  return std::string(retorno == std::string_view::npos ? tramo : tramo.substr(retorno + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, std::size_t largo) {
  FuzzedDataProvider entrada(datos, largo);
  EnmarcadorLineas enmarcador;
  std::vector<Retorno> retornos;
  std::vector<Retorno> esperados;
  std::string flujo;
  std::string tramo;  // read since the last gap
  while (entrada.remaining_bytes() > 0) {
    const bool corte = entrada.ConsumeBool();
    const std::string lectura = entrada.ConsumeRandomLengthString(200);
    if (corte) {
      if (enmarcador.Cortar() != Empezada(tramo)) std::abort();
      EnmarcadorLineas entero;
      Enmarcar(entero, tramo, flujo.size() - tramo.size(), esperados);
      tramo.clear();
    }
    Enmarcar(enmarcador, lectura, flujo.size(), retornos);
    flujo += lectura;
    tramo += lectura;
    if (enmarcador.Empezada() != Empezada(tramo)) std::abort();
  }
  EnmarcadorLineas entero;
  Enmarcar(entero, tramo, flujo.size() - tramo.size(), esperados);
  if (retornos != esperados) std::abort();
  return 0;
}
