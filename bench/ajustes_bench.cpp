// Reading and writing one key of CAPTURA.INI whose section holds many lines:
// the time must grow with the file's size, not with its square.
//
// Run: ninja -C build ajustes_bench && build/bin/ajustes_bench

#include <benchmark/benchmark.h>

#include <string>

#include "estacion/ajustes/PerfilIni.h"
#include "prueba/DirectorioPrueba.h"

namespace {

// An INI file whose one section holds `lineas` keys; the key read is the last.
std::string Archivo(const DirectorioPrueba& dir, int lineas) {
  const auto ruta = dir.Ruta("CAPTURA.INI");
  std::string texto = "[configura]\n";
  for (int i = 0; i < lineas; ++i)
    texto += "clave" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  DirectorioPrueba::Escribir(ruta, texto);
  return ruta;
}

void BM_LeerClave(benchmark::State& estado) {
  DirectorioPrueba dir;
  const auto ruta = Archivo(dir, static_cast<int>(estado.range(0)));
  char buffer[255];
  for (auto _ : estado) {
    benchmark::DoNotOptimize(
        PerfilIni::LeerValor(ruta, "configura", "puerto", "", buffer, sizeof buffer));
  }
  estado.SetComplexityN(estado.range(0));
}
BENCHMARK(BM_LeerClave)->RangeMultiplier(4)->Range(1250, 20000)->Complexity();

void BM_EscribirClave(benchmark::State& estado) {
  DirectorioPrueba dir;
  const auto ruta = Archivo(dir, static_cast<int>(estado.range(0)));
  int i = 0;
  for (auto _ : estado) {
    benchmark::DoNotOptimize(
        PerfilIni::EscribirValor(ruta, "configura", "puerto", std::to_string(i++ % 10)));
  }
  estado.SetComplexityN(estado.range(0));
}
BENCHMARK(BM_EscribirClave)->RangeMultiplier(4)->Range(1250, 20000)->Complexity();

}  // namespace

BENCHMARK_MAIN();
