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
cmake --build "$build" --target Sentrel sentrel-servicio captura probar-captura
rm -f "$build"/sentrel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
paquete=$(ls "$build"/sentrel_*.deb)

# Each path, a link's own and not its target.
contenido=$(dpkg-deb -c "$paquete" | awk '{ print ($(NF - 1) == "->") ? $(NF - 2) : $NF }')
falta=0
for ruta in ./opt/sentrel/Sentrel ./opt/sentrel/sentrel-servicio ./opt/sentrel/libcaptura.so \
            ./opt/sentrel/probar-captura ./opt/sentrel/sentrel.png \
            ./opt/sentrel/sentrel.desktop ./opt/sentrel/sql/esquema-sqlite.sql \
            ./opt/sentrel/sql/datos-ejemplo.sql ./usr/share/applications/sentrel.desktop \
            ./lib/systemd/system/sentrel.service ./usr/bin/sentrel ./usr/bin/probar-captura; do
  if ! grep -qxF "$ruta" <<<"$contenido"; then
    echo "The package lacks $ruta" >&2
    falta=1
  fi
done
# Nothing of the build tree or the tests.
permitido='^\./(opt(/sentrel(/.*)?)?|usr(/share(/applications(/.*)?)?|/bin(/.*)?)?|lib(/systemd(/system(/.*)?)?)?)?/?$'
if grep -vE "$permitido" <<<"$contenido" | grep -q .; then
  echo "The package holds files outside /opt/sentrel, the menu, the unit and the links:" >&2
  grep -vE "$permitido" <<<"$contenido" >&2
  falta=1
fi
# The menu entry starts the installed program.
entrada=$(dpkg-deb --fsys-tarfile "$paquete" | tar -xO ./usr/share/applications/sentrel.desktop)
if ! grep -qx 'Exec=/opt/sentrel/Sentrel' <<<"$entrada"; then
  echo "The menu entry does not start /opt/sentrel/Sentrel" >&2
  falta=1
fi
# Everything root's: the desk user must not be able to change the program.
if dpkg-deb -c "$paquete" | awk '$2 != "root/root"' | grep -q .; then
  echo "The package holds files not owned by root:" >&2
  dpkg-deb -c "$paquete" | awk '$2 != "root/root"' >&2
  falta=1
fi
# The commands on the PATH lead to the program directory.
listado=$(dpkg-deb -c "$paquete")
for enlace in 'usr/bin/sentrel -> /opt/sentrel/Sentrel' \
              'usr/bin/probar-captura -> /opt/sentrel/probar-captura'; do
  if ! grep -qF "$enlace" <<<"$listado"; then
    echo "The package lacks the link $enlace" >&2
    falta=1
  fi
done
# The service's user made by the package, the service never enabled by it,
# and a purge that keeps the calls.
control=$(mktemp -d)
trap 'rm -rf "$control"' EXIT
dpkg-deb -e "$paquete" "$control"
for guion in postinst prerm postrm; do
  if [ ! -x "$control/$guion" ] || ! sh -n "$control/$guion"; then
    echo "The package's $guion is missing, not executable or not valid sh" >&2
    falta=1
  fi
done
if ! grep -q 'adduser --system' "$control/postinst" ||
  ! grep -q 'adduser --quiet sentrel dialout' "$control/postinst"; then
  echo "The postinst does not make the user sentrel in group dialout" >&2
  falta=1
fi
# The service's group, which its operators join to attach a window and save CAPTURA.INI.
if ! grep -q 'addgroup --system sentrel' "$control/postinst" ||
  ! grep -q 'adduser --system --ingroup sentrel' "$control/postinst"; then
  echo "The postinst does not make the group sentrel for the service and its operators" >&2
  falta=1
fi
if grep -qE 'systemctl (enable|start)|rm -rf? .*/var/lib/sentrel|deluser' \
  "$control/postinst" "$control/postrm"; then
  echo "The maintainer scripts enable the service or remove the station's data or user" >&2
  falta=1
fi
unidad=$(dpkg-deb --fsys-tarfile "$paquete" | tar -xO ./lib/systemd/system/sentrel.service)
for clave in 'Type=notify' 'User=sentrel' 'Group=sentrel' 'StateDirectory=sentrel' 'StateDirectoryMode=0770' \
             'ExecStart=/opt/sentrel/Sentrel --servicio --directorio /var/lib/sentrel' \
             'Restart=on-failure' 'NoNewPrivileges=yes' 'ProtectSystem=strict'; do
  if ! grep -qxF "$clave" <<<"$unidad"; then
    echo "The unit lacks $clave" >&2
    falta=1
  fi
done
# The unit as systemd reads it, the program taken from the package itself.
if command -v systemd-analyze >/dev/null; then
  dpkg-deb -x "$paquete" "$control/raiz"
  sed "s|/opt/sentrel/Sentrel|$control/raiz/opt/sentrel/Sentrel|" <<<"$unidad" \
    >"$control/sentrel.service"
  if ! systemd-analyze verify --man=no "$control/sentrel.service"; then
    echo "systemd-analyze verify fails on sentrel.service" >&2
    falta=1
  fi
else
  echo "systemd-analyze is not installed: sentrel.service not verified" >&2
fi
dependencias=$(dpkg-deb -f "$paquete" Depends)
for d in libqt6widgets6 libqt6network6 libsystemd0 adduser qt6-qpa-plugins qt6-translations-l10n libodbc2 libsqliteodbc; do
  if ! grep -q "\b$d\b" <<<"$dependencias"; then
    echo "The package does not depend on $d" >&2
    falta=1
  fi
done
[ "$falta" -eq 0 ] || exit 1
echo "$paquete"
dpkg-deb -f "$paquete" Package Version Architecture Depends
