// What the receive journal costs on this machine's disk: the append and
// flush each receive event makes on the serial reader's thread (one 82-byte
// line, a burst of 10 lines, 4 KiB), the completion each line makes on the
// window's thread, and a compaction. The line's budget at 921,600 baud is
// 1 / 1,150 s = 870 us.
//
// The journal is written in a fresh directory beside this program (the
// station keeps it beside its own), or under SENTREL_DIARIO_DIR when set, so
// the figures are those of the disk and not of a memory file system.
//
// Run: ninja -C build diario_bench && build/bin/diario_bench

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "resguardo/DiarioRecepcion.h"

namespace {

constexpr double kLineasPorSegundo = 1150;  // 921,600 baud, 82 bytes a line
constexpr size_t kLinea = 82;

std::filesystem::path Base() {
  if (const char* dir = std::getenv("SENTREL_DIARIO_DIR")) return dir;
  return std::filesystem::canonical("/proc/self/exe").parent_path();
}

// A fresh journal directory, removed at the end.
class Directorio {
 public:
  Directorio() {
    std::string plantilla = (Base() / "diario-bench-XXXXXX").string();
    if (::mkdtemp(plantilla.data()) != nullptr) ruta_ = plantilla;
  }
  ~Directorio() {
    std::error_code error;
    std::filesystem::remove_all(ruta_, error);
  }
  const std::filesystem::path& Ruta() const { return ruta_; }

 private:
  std::filesystem::path ruta_;
};

std::unique_ptr<DiarioRecepcion> Abrir(const Directorio& dir, benchmark::State& state,
                                       uint64_t umbral = DiarioRecepcion::kUmbralPorDefecto) {
  auto diario = DiarioRecepcion::Abrir(dir.Ruta(), umbral);
  if (!diario) {
    state.SkipWithError(diario.Falla().Descripcion.c_str());
    return nullptr;
  }
  return std::move(diario.Dato());
}

std::string Lineas(size_t bytes) {
  std::string texto;
  while (texto.size() < bytes) texto += std::string(kLinea - 2, '7') + "\r\n";
  texto.resize(bytes);
  return texto;
}

// One receive event: the chunk appended and flushed, then every line in it
// completed, as the reader's thread and then the window's thread do. The
// journal compacts itself along the way.
void BM_EventoConDiario(benchmark::State& state) {
  Directorio dir;
  auto diario = Abrir(dir, state);
  if (!diario) return;
  const std::string trozo = Lineas(static_cast<size_t>(state.range(0)));
  const size_t lineas = (trozo.size() + kLinea - 1) / kLinea;
  for (auto _ : state) {
    const uint64_t inicio = diario->Fin();
    if (!diario->Agregar(trozo)) state.SkipWithError("append failed");
    for (size_t i = 1; i <= lineas; ++i)
      diario->Completado(inicio + std::min(i * kLinea, trozo.size()));
  }
  const double lineasPorEvento = static_cast<double>(trozo.size()) / kLinea;
  state.counters["lines/s"] = benchmark::Counter(
      lineasPorEvento * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["x_line_rate"] = benchmark::Counter(
      lineasPorEvento / kLineasPorSegundo * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(trozo.size()) * state.iterations());
}
BENCHMARK(BM_EventoConDiario)
    ->Arg(kLinea)
    ->Arg(10 * kLinea)
    ->Arg(4096)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The append and flush alone (the reader's thread).
void BM_Agregar(benchmark::State& state) {
  Directorio dir;
  auto diario = Abrir(dir, state);
  if (!diario) return;
  const std::string trozo = Lineas(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    if (!diario->Agregar(trozo)) state.SkipWithError("append failed");
    if (diario->Fin() - diario->Base() > (1 << 20)) {
      state.PauseTiming();
      diario->Completado(diario->Fin());
      static_cast<void>(diario->Compactar());
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(trozo.size()) * state.iterations());
}
BENCHMARK(BM_Agregar)
    ->Arg(kLinea)
    ->Arg(10 * kLinea)
    ->Arg(4096)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Completado per line (the window's thread), compactions included: the
// bytes are appended beforehand in large blocks, outside the timing.
void BM_Completado(benchmark::State& state) {
  Directorio dir;
  auto diario = Abrir(dir, state);
  if (!diario) return;
  const std::string bloque = Lineas(1000 * kLinea);
  uint64_t posicion = 0;
  for (auto _ : state) {
    if (posicion + kLinea > diario->Fin()) {
      state.PauseTiming();
      if (!diario->Agregar(bloque)) state.SkipWithError("append failed");
      state.ResumeTiming();
    }
    posicion += kLinea;
    diario->Completado(posicion);
  }
}
BENCHMARK(BM_Completado)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One compaction of 256 KiB done with one line begun (the usual tail), on
// the window's thread.
void BM_Compactar(benchmark::State& state) {
  Directorio dir;
  auto diario = Abrir(dir, state, uint64_t{1} << 40);
  if (!diario) return;
  const std::string bloque = Lineas(256 * 1024);
  for (auto _ : state) {
    state.PauseTiming();
    if (!diario->Agregar(bloque)) state.SkipWithError("append failed");
    diario->Completado(diario->Fin() - kLinea);
    state.ResumeTiming();
    if (!diario->Compactar()) state.SkipWithError("compaction failed");
  }
}
BENCHMARK(BM_Compactar)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  std::printf(
      "Sentrel receive journal benchmark, journal directory under %s\n"
      "  line rate at 921,600 baud: 1,150 lines/s, 870 us a line\n"
      "  BM_EventoConDiario/N: one receive event of N bytes (append + flush, then\n"
      "    Completado for each line); lines/s is the most the journal lets through\n"
      "    in events of that size, x_line_rate that figure over the line rate (a plain\n"
      "    ratio, whatever unit the table gives it)\n"
      "  run: ninja -C build diario_bench && build/bin/diario_bench\n"
      "       (SENTREL_DIARIO_DIR=/some/dir to measure another disk)\n\n",
      Base().c_str());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
