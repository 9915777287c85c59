// Capture engine throughput. Framing and parsing of exchange lines (target:
// at least 1,000,000 lines/s), the pricing and posting of one call against a
// fake component serving 20,000 tariff codes, and whole receive events.
//
// Run: ninja -C build llamadas_bench && build/bin/llamadas_bench

#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "llamadas/EnmarcadorLineas.h"
#include "llamadas/ReceptorLlamadas.h"
#include "llamadas/RegistradorLlamadas.h"
#include "llamadas/RegistroLlamada.h"
#include "prueba/LineaPrueba.h"
#include "prueba/PuertoFalso.h"
#include "prueba/TelefonoFalso.h"
#include "prueba/TelefonoPrestado.h"
#include "prueba/VentanaFalsa.h"

namespace {

constexpr int kCodigos = 20000;
constexpr int kLineasPorRafaga = 10000;

// 20,000 long-distance codes spread over the 90 prefixes 010-099 (about 222
// rows for each three-character key), plus the local codes 1-9.
void CargarTarifario(TelefonoFalso& tel) {
  for (int i = 0; i < kCodigos; ++i) {
    const std::string codigo = "0" + std::to_string(10 + i % 90) + std::to_string(i / 90);
    tel.AgregarTarifa(codigo, 0.5f + i % 7, i + 1, 1 + i % 2, 0.2f);
  }
  for (int d = 1; d <= 9; ++d) tel.AgregarTarifa(std::to_string(d), 0.3f, 90000 + d, 1, 0.1f);
  for (int h = 100; h < 400; ++h) tel.AgregarHabitacion(std::to_string(h), h % 3 ? 5000 + h : 0, h);
  tel.Grabar = false;
}

std::string NumeroLargo(std::mt19937& azar) {
  std::string n = "0" + std::to_string(10 + azar() % 90);
  for (int i = 0; i < 8; ++i) n += static_cast<char>('0' + azar() % 10);
  return n;
}

std::string NumeroLocal(std::mt19937& azar) {
  std::string n;
  for (int i = 0; i < 7; ++i) n += static_cast<char>('1' + azar() % 9);
  return n;
}

// A burst as the exchange sends it: lines ended by CR LF, most of them
// long-distance calls.
std::string Rafaga(int lineas) {
  std::mt19937 azar(7);
  std::string texto;
  for (int i = 0; i < lineas; ++i) {
    const std::string anexo = " " + std::to_string(100 + azar() % 300);
    const std::string discado = i % 4 == 0 ? NumeroLocal(azar) : NumeroLargo(azar);
    const std::string tiempo = "00" + std::to_string(azar() % 2) + ":" +
                               std::to_string(10 + azar() % 50) + ":" +
                               std::to_string(10 + azar() % 50);
    texto += LineaPrueba(anexo, discado, "25/12/23", "14:30", tiempo) + "\r\n";
  }
  return texto;
}

std::vector<RegistroLlamada> Registros(const std::string& rafaga) {
  std::vector<RegistroLlamada> registros;
  EnmarcadorLineas enmarcador;
  enmarcador.Enmarcar(rafaga, [&](std::string_view linea, std::size_t) {
    if (!linea.empty()) registros.push_back(RegistroLlamada::Leer(linea));
  });
  return registros;
}

void BM_EnmarcarYLeer(benchmark::State& state) {
  const std::string rafaga = Rafaga(kLineasPorRafaga);
  EnmarcadorLineas enmarcador;
  long validas = 0;
  for (auto _ : state) {
    enmarcador.Enmarcar(rafaga, [&](std::string_view linea, std::size_t) {
      if (!linea.empty()) validas += RegistroLlamada::Leer(linea).EsValido();
    });
  }
  benchmark::DoNotOptimize(validas);
  state.SetItemsProcessed(state.iterations() * kLineasPorRafaga);
  state.SetLabel("lines");
}
BENCHMARK(BM_EnmarcarYLeer)->Unit(benchmark::kMillisecond);

void RegistrarCada(benchmark::State& state, bool largas) {
  TelefonoFalso tel;
  CargarTarifario(tel);
  std::vector<RegistroLlamada> registros;
  for (auto& r : Registros(Rafaga(4000))) {
    if (r.Discado.starts_with('0') == largas) registros.push_back(std::move(r));
  }
  RegistradorLlamadas registrador;
  std::size_t i = 0;
  for (auto _ : state) {
    auto resumen = registrador.RegistrarLlamada(registros[i], tel);
    benchmark::DoNotOptimize(resumen);
    i = (i + 1) % registros.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("calls");
}

// Numbers beginning with "0": ListarTodo on the three-character key and the
// longest-prefix search over its rows.
void BM_RegistrarLlamadaLarga(benchmark::State& state) { RegistrarCada(state, true); }
BENCHMARK(BM_RegistrarLlamadaLarga)->Unit(benchmark::kMicrosecond);

// The fake component's share of the above: building the ~222 rows of a key.
void BM_ListarTodoDelFalso(benchmark::State& state) {
  TelefonoFalso tel;
  CargarTarifario(tel);
  std::mt19937 azar(7);
  for (auto _ : state) {
    auto filas = tel.ListarTodo(NumeroLargo(azar).substr(0, 3));
    benchmark::DoNotOptimize(filas);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("lookups");
}
BENCHMARK(BM_ListarTodoDelFalso)->Unit(benchmark::kMicrosecond);

// Local numbers: PrecioCostoLocal on the first digit.
void BM_RegistrarLlamadaLocal(benchmark::State& state) { RegistrarCada(state, false); }
BENCHMARK(BM_RegistrarLlamadaLocal)->Unit(benchmark::kMicrosecond);

// Whole receive events of 1,000 lines: read, frame, parse, price and post.
void BM_EventoDeRecepcion(benchmark::State& state) {
  constexpr int kLineas = 1000;
  TelefonoFalso tel;
  CargarTarifario(tel);
  VentanaFalsa ventana;
  ventana.estado.Recibiendo = 1;
  PuertoFalso puerto;
  int prestados = 0;
  ReceptorLlamadas receptor(ventana, puerto,
                            [&]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
                              return std::unique_ptr<captura::_Telefono>(
                                  std::make_unique<TelefonoPrestado>(tel, prestados));
                            });
  const std::string rafaga = Rafaga(kLineas);
  for (auto _ : state) {
    state.PauseTiming();
    puerto.Entradas.push_back(rafaga);
    state.ResumeTiming();
    receptor.Comm1_OnComm();
  }
  state.SetItemsProcessed(state.iterations() * kLineas);
  state.SetLabel("lines");
}
BENCHMARK(BM_EventoDeRecepcion)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_TIME, "es_PE.UTF-8");  // dates are read day first
  std::printf(
      "Sentrel capture benchmark (items_per_second = lines or calls per second)\n"
      "  framing+parsing target: >= 1,000,000 lines/s\n"
      "  run: ninja -C build llamadas_bench && build/bin/llamadas_bench\n\n");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
