#!/usr/bin/env bash
# Builds the Debian package of Sentrel and checks what it holds: the program
# directory in /opt/sentrel, the menu entry, and the run-time dependencies.
#
#   scripts/paquete.sh           (the package is left in the build directory)
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cd "$raiz"

./scripts/instalar-paquetes.sh

build=${SENTREL_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target Sentrel captura
rm -f "$build"/sentrel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
paquete=$(ls "$build"/sentrel_*.deb)

contenido=$(dpkg-deb -c "$paquete" | awk '{print $NF}')
falta=0
for ruta in ./opt/sentrel/Sentrel ./opt/sentrel/sentrel-servicio ./opt/sentrel/libcaptura.so \
            ./opt/sentrel/sentrel.png \
            ./opt/sentrel/sentrel.desktop ./opt/sentrel/sql/esquema-sqlite.sql \
            ./opt/sentrel/sql/datos-ejemplo.sql ./usr/share/applications/sentrel.desktop; do
  if ! grep -qxF "$ruta" <<<"$contenido"; then
    echo "The package lacks $ruta" >&2
    falta=1
  fi
done
# Nothing of the build tree or the tests.
permitido='^\./(opt(/sentrel(/.*)?)?|usr(/share(/applications(/.*)?)?)?)?/?$'
if grep -vE "$permitido" <<<"$contenido" | grep -q .; then
  echo "The package holds files outside /opt/sentrel and the menu:" >&2
  grep -vE "$permitido" <<<"$contenido" >&2
  falta=1
fi
# The menu entry starts the installed program.
entrada=$(dpkg-deb --fsys-tarfile "$paquete" | tar -xO ./usr/share/applications/sentrel.desktop)
if ! grep -qx 'Exec=/opt/sentrel/Sentrel' <<<"$entrada"; then
  echo "The menu entry does not start /opt/sentrel/Sentrel" >&2
  falta=1
fi
dependencias=$(dpkg-deb -f "$paquete" Depends)
for d in libqt6widgets6 libqt6network6 qt6-qpa-plugins qt6-translations-l10n libodbc2 libsqliteodbc; do
  if ! grep -q "\b$d\b" <<<"$dependencias"; then
    echo "The package does not depend on $d" >&2
    falta=1
  fi
done
[ "$falta" -eq 0 ] || exit 1
echo "$paquete"
dpkg-deb -f "$paquete" Package Version Architecture Depends
