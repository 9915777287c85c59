#!/usr/bin/env bash
# Takes the README's picture of the station: the demo runs under Xvfb and the
# real window is captured while a burst of calls is shown.
#
#   scripts/foto.sh [PNG]   (default estacion/ventana/recursos/estacion.png)
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cd "$raiz"
foto=${1:-$raiz/estacion/ventana/recursos/estacion.png}

./scripts/instalar-paquetes.sh
trabajo=$(mktemp -d /tmp/sentrel-foto.XXXXXX)
xvfb=""
demo=""
terminar() {
  [ -n "$demo" ] && kill "$demo" 2>/dev/null && wait "$demo" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$trabajo"
}
trap terminar EXIT

# A display of its own: Xvfb picks a free number and tells it.
mkfifo "$trabajo/pantalla"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$trabajo/pantalla" 2>/dev/null &
xvfb=$!
read -r numero <"$trabajo/pantalla"
export DISPLAY=":$numero"

# The window at its designed size, not one the user left it at.
export XDG_CONFIG_HOME="$trabajo/config"
SENTREL_DEMO="$trabajo/demo" ./scripts/demo.sh 40 >"$trabajo/demo.log" 2>&1 &
demo=$!
ventana=$(timeout 300 xdotool search --sync --name 'Zunta - Comunicación' | head -n 1)
# The simulator sends a burst every few seconds: catch one on the screen.
sleep 5
import -window "$ventana" -strip -colors 64 "png8:$foto"
wait "$demo"
demo=""
echo "$foto ($(stat -c %s "$foto") bytes)"
