#!/usr/bin/env bash
# Creates the embedded SQLite database and registers the data source
# Tavro_Datos for it in a user-level odbc.ini.
#
#   crear-base-sqlite.sh [--ejemplo] BASE [ODBC_INI]
#
# BASE      the database file to create (must not exist yet)
# ODBC_INI  the odbc.ini to write (default: $ODBCINI, else $HOME/.odbc.ini);
#           an existing [Tavro_Datos] section in it is replaced
# --ejemplo also loads the sample tariffs and rooms
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
sql="$raiz/captura/sql"

uso() {
  echo "uso: $(basename "$0") [--ejemplo] BASE [ODBC_INI]" >&2
  exit 2
}

ejemplo=0
if [ "${1:-}" = "--ejemplo" ]; then
  ejemplo=1
  shift
fi
[ $# -ge 1 ] && [ $# -le 2 ] || uso
base=$1
ini=${2:-${ODBCINI:-$HOME/.odbc.ini}}

if ! command -v sqlite3 >/dev/null; then
  echo "error: sqlite3 is not installed (scripts/instalar-paquetes.sh)" >&2
  exit 1
fi
# The driver must be registered under the name the data source uses; odbcinst
# looks where unixODBC will (ODBCSYSINI, else /etc).
if ! odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
  echo "error: ODBC driver SQLite3 is not registered in odbcinst.ini (package libsqliteodbc)" >&2
  exit 1
fi
if [ -e "$base" ]; then
  echo "error: $base already exists; it is left untouched" >&2
  exit 1
fi

mkdir -p "$(dirname "$base")"
base=$(cd "$(dirname "$base")" && pwd)/$(basename "$base")
sqlite3 -bail "$base" <"$sql/esquema-sqlite.sql" >/dev/null
if [ "$ejemplo" = 1 ]; then
  sqlite3 -bail "$base" <"$sql/datos-ejemplo.sql"
fi

mkdir -p "$(dirname "$ini")"
touch "$ini"
# The file is edited in place (through a symlink too), so it keeps its mode
# and owner: a system odbc.ini stays readable by the station's user.
destino=$(readlink -f "$ini")
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
# Drop any previous [Tavro_Datos] section, keep everything else.
awk '
  /^[[:space:]]*\[/ { fuera = ($0 ~ /^[[:space:]]*\[Tavro_Datos\][[:space:]]*$/) }
  !fuera { print }
' "$destino" >"$tmp"
# Timeout: a database locked by another program fails the statement after
# 2 s (the call is kept and re-posted later) instead of freezing the station.
cat >>"$tmp" <<INI
[Tavro_Datos]
Description=Sentrel embedded database
Driver=SQLite3
Database=$base
NoCreat=1
JournalMode=WAL
Timeout=2000
INI
cat "$tmp" >"$destino"
echo "Created $base; data source Tavro_Datos registered in $ini"
