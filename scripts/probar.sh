#!/usr/bin/env bash
# Builds Sentrel and runs its whole test suite on a fresh Debian 12 machine.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cd "$raiz"

./scripts/instalar-paquetes.sh

build=${SENTREL_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build"

# A throwaway PostgreSQL for the database tests, stopped on every exit path.
eval "$(./scripts/postgres-prueba.sh iniciar)"
trap './scripts/postgres-prueba.sh parar "$SENTREL_PG_DIR"' EXIT

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/sentrel-xdg.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
