#!/usr/bin/env bash
# Builds Sentrel and runs its whole test suite on a fresh Debian 12 machine.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cd "$raiz"

./scripts/instalar-paquetes.sh

# SENTREL_SANEAR=1: the same suite built apart with AddressSanitizer and
# UndefinedBehaviorSanitizer; a report fails the test that makes it.
if [ -n "${SENTREL_SANEAR:-}" ]; then
  build=${SENTREL_BUILD:-build-saneado}
  sanear=ON
  # Full stacks when memory is taken, so a leak inside an ODBC driver is known
  # by the driver even after what it loaded is gone; a small quarantine, so
  # the end-to-end tests' memory bounds still measure the station.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_init_order=1:fast_unwind_on_malloc=0:quarantine_size_mb=32}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$raiz/scripts/fugas-ajenas.supp}
else
  build=${SENTREL_BUILD:-build}
  sanear=OFF
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSENTREL_SANEAR=$sanear
cmake --build "$build"

# A throwaway PostgreSQL for the database tests, stopped on every exit path.
eval "$(./scripts/postgres-prueba.sh iniciar)"
trap './scripts/postgres-prueba.sh parar "$SENTREL_PG_DIR"' EXIT

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/sentrel-xdg.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
