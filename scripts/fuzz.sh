#!/usr/bin/env bash
# Builds the fuzz targets with clang (build-fuzz/) and runs each one from its
# seeds in fuzz/corpus/ for SECONDS (30 by default). Inputs that widen the
# coverage go to build-fuzz/corpus/, never into the tree; an input that
# crashes goes to build-fuzz/hallazgos/ and fails the run.
#   ./scripts/fuzz.sh [SECONDS [TARGET...]]
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cd "$raiz"

./scripts/instalar-paquetes.sh

segundos=${1:-30}
shift || true
objetivos=("$@")
if [ ${#objetivos[@]} -eq 0 ]; then
  objetivos=(EnmarcadorLineas_fuzz DiarioRecepcion_fuzz ColaPendientes_fuzz PerfilIni_fuzz)
fi

build=${SENTREL_BUILD_FUZZ:-build-fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSENTREL_FUZZ=ON
cmake --build "$build" --target "${objetivos[@]}"

# The targets write their files for each input in a temporary directory:
# in memory when the machine has one.
if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for objetivo in "${objetivos[@]}"; do
  echo "== $objetivo: $segundos s"
  mkdir -p "$build/corpus/$objetivo" "$build/hallazgos"
  "$build/bin/$objetivo" -max_total_time="$segundos" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$build/hallazgos/$objetivo-" \
    "$build/corpus/$objetivo" "fuzz/corpus/$objetivo"
done
