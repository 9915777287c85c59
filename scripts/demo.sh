#!/usr/bin/env bash
# The station's main job on the embedded default: builds Sentrel, makes a demo
# program directory with CAPTURA.INI and an SQLite hotel database holding
# sample tariffs and rooms, starts Sentrel, lets the exchange simulator send
# bursts of calls, and prints what was stored.
#
#   scripts/demo.sh [CALLS]      (default 60 calls)
#
# SENTREL_DEMO names the demo directory (default: ./demo, replaced each run).
# SENTREL_DEMO_RED=PORT puts the exchange on the network instead of COM1: the
# simulator listens on 127.0.0.1:PORT and Sentrel connects to it.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cd "$raiz"
llamadas=${1:-60}

./scripts/instalar-paquetes.sh

build=${SENTREL_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target Sentrel captura simulador-central

demo=${SENTREL_DEMO:-$raiz/demo}
rm -rf "$demo"
mkdir -p "$demo"
programa="$demo/programa"
cmake --install "$build" --prefix "$programa" >/dev/null

export ODBCINI="$demo/odbc.ini"
./scripts/crear-base-sqlite.sh --ejemplo "$demo/tavro.db" "$ODBCINI" >/dev/null

tiempo=2
red=${SENTREL_DEMO_RED:-}
cat >"$programa/CAPTURA.INI" <<INI
[configura]
puerto=1
bseg=9600
bdat=8
pari=None
bpar=1
[Rutas]
File=$demo/generado.txt
[App]
TimeConexion=$tiempo
[Central]
OrdenFecha=DMA
INI
if [ -n "$red" ]; then
  printf '[Central]\nOrigen=Red\nModo=Cliente\nDireccion=127.0.0.1\nPuerto=%s\n' "$red" \
    >>"$programa/CAPTURA.INI"
  linea=(--red "$red")
else
  linea=(--dir "$programa" --puerto 1)
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/sentrel-xdg.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"

# The simulator makes COM1 (or listens) and waits until Sentrel opens it (or
# connects; Sentrel tries again until it answers).
"$build/bin/simulador-central" "${linea[@]}" --llamadas "$llamadas" \
  --rafaga 10 --pausa 3 --semilla 7 --registro "$demo/enviadas.txt" &
simulador=$!
for _ in $(seq 50); do [ -n "$red" ] || [ -e "$programa/COM1" ] && break; sleep 0.1; done

"$programa/Sentrel" &
sentrel=$!
trap 'kill $simulador $sentrel 2>/dev/null || true' EXIT

wait $simulador
sleep $((tiempo + 1))  # the last burst ends by its time-out
kill -TERM $sentrel
wait $sentrel || true
trap - EXIT

echo
echo "Lines sent by the exchange simulator: $(wc -l <"$demo/enviadas.txt") ($demo/enviadas.txt)"
echo
echo "First calls as the simulator sent them (day/month/year) and as stored"
echo "(in this machine's regional date order, $(locale -k d_fmt 2>/dev/null | cut -d= -f2 | tr -d '"')):"
head -n 3 "$demo/enviadas.txt" | cut -c1-50
sqlite3 -separator '  ' "$demo/tavro.db" \
  "SELECT Anexo, rtrim(Discado), Fecha, Hora FROM telefonos ORDER BY rowid LIMIT 3;"
echo
echo "Calls stored per extension:"
sqlite3 -header -column "$demo/tavro.db" \
  "SELECT Anexo, COUNT(*) AS Llamadas, SUM(CASE WHEN Reservaid > 0 THEN 1 ELSE 0 END) AS ConReserva
     FROM telefonos GROUP BY Anexo ORDER BY Anexo;"
echo
echo "Charges posted per room (current accounts):"
sqlite3 -header -column "$demo/tavro.db" \
  "SELECT h.NroHabitacion AS Habitacion, c.ReservaId, COUNT(*) AS Cargos,
          printf('%.2f', SUM(c.PrecioUnitario * c.Cantidad)) AS Total
     FROM CuentasCorrientes c LEFT JOIN Habitaciones h ON h.HabitacionId = c.HabitacionId
    GROUP BY c.HabitacionId, c.ReservaId ORDER BY h.NroHabitacion;"
echo
sqlite3 "$demo/tavro.db" \
  "SELECT 'Totals: ' || (SELECT COUNT(*) FROM telefonos) || ' calls stored, ' ||
          (SELECT COUNT(*) FROM CuentasCorrientes) || ' charges, ' ||
          printf('%.2f', (SELECT COALESCE(SUM(PrecioUnitario * Cantidad), 0) FROM CuentasCorrientes)) ||
          ' charged in all.';"
