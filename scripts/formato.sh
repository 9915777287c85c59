#!/usr/bin/env bash
# Checks that every C++ source is laid out as the root .clang-format says;
# names each file that is not and fails. With --arreglar, formats them in place.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cd "$raiz"

./scripts/instalar-paquetes.sh

fuentes=()
while IFS= read -r -d '' f; do fuentes+=("$f"); done < <(
  find . \( -path './build*' -o -path ./demo -o -path ./.git \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

if [ "${1:-}" = "--arreglar" ]; then
  clang-format -i "${fuentes[@]}"
else
  clang-format --dry-run --Werror "${fuentes[@]}"
  echo "Formato: ${#fuentes[@]} sources as .clang-format says"
fi
