#!/usr/bin/env bash
# Installs every Debian package Sentrel needs to build, test, fuzz and run its
# demo (clang and its runtime for the fuzz targets, llvm for readable reports).
# Idempotent: skips what is present and runs apt-get update at most once.
set -euo pipefail

PAQUETES=(
  cmake ninja-build g++ pkg-config clang-format
  clang libclang-rt-14-dev llvm
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql
  zlib1g-dev libsystemd-dev
  sqlite3 postgresql
  locales
  xvfb xauth trayer xdotool imagemagick
)

faltan=()
for p in "${PAQUETES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    faltan+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#faltan[@]} -gt 0 ]; then
  echo "Installing: ${faltan[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${faltan[@]}"
fi

# Locales the tests read dates and numbers under (day-first es_PE, decimal comma).
if ! locale -a 2>/dev/null | grep -qi '^es_PE\.utf8$'; then
  $SUDO localedef -i es_PE -f UTF-8 es_PE.UTF-8
fi
if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf8$'; then
  $SUDO localedef -i en_US -f UTF-8 en_US.UTF-8
fi
