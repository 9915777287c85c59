#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the tests and benchmarks, listening
# only on 127.0.0.1 with its own port and socket directory.
#
#   eval "$(scripts/postgres-prueba.sh iniciar)"   # sets SENTREL_PG_*
#   scripts/postgres-prueba.sh parar "$SENTREL_PG_DIR"
#
# The tests' cluster skips the disk flushes (fsync=off). The benchmarks'
# waits for the disk at every commit, as a real server does:
#   eval "$(scripts/postgres-prueba.sh iniciar --fsync)"
#
# A test of a database outage stops its own cluster and starts it again on
# the same port:
#   scripts/postgres-prueba.sh detener DIR
#   scripts/postgres-prueba.sh reanudar DIR
#
# The superuser is the calling user (trust on 127.0.0.1), so clients connect
# without a user id or password, as with integrated security.
set -euo pipefail
bin=${SENTREL_PG_BIN:-/usr/lib/postgresql/15/bin}

# initdb and pg_ctl refuse to run as root: run them as postgres then.
como_servidor() {
  if [ "$(id -u)" -eq 0 ]; then
    su postgres -s /bin/sh -c "$(printf '%q ' "$@")"
  else
    "$@"
  fi
}

puerto_libre() {
  local p
  for _ in $(seq 50); do
    p=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return
    fi
  done
  echo "error: no free port found" >&2
  return 1
}

# Starts the server of the cluster in DIR on the given port.
# The cluster's fsync setting is kept in DIR/fsync, so a restart keeps it.
arrancar() {
  local dir=$1 puerto=$2
  como_servidor "$bin/pg_ctl" -D "$dir/datos" -l "$dir/servidor.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $puerto -k $dir -c fsync=$(cat "$dir/fsync") -c datestyle=ISO,DMY -c max_connections=50" \
    start >/dev/null
}

comprobar_dir() {
  case "$1" in /tmp/sentrel-pg.*) ;; *)
    echo "error: $1 is not a test cluster" >&2
    return 1
    ;;
  esac
}

iniciar() {
  local dir usuario puerto fsync=off
  case "${1:-}" in
    --fsync) fsync=on ;;
    "") ;;
    *)
      echo "error: unknown option $1" >&2
      return 2
      ;;
  esac
  usuario=$(id -un)
  dir=$(mktemp -d /tmp/sentrel-pg.XXXXXX)
  chmod 0755 "$dir"
  echo "$fsync" >"$dir/fsync"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
  como_servidor "$bin/initdb" -D "$dir/datos" -U "$usuario" --auth=trust -E UTF8 \
    --no-locale >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    return 1
  }
  for _ in 1 2 3; do
    puerto=$(puerto_libre)
    if arrancar "$dir" "$puerto"; then
      echo "$puerto" >"$dir/puerto"
      echo "export SENTREL_PG_HOST=127.0.0.1"
      echo "export SENTREL_PG_PORT=$puerto"
      echo "export SENTREL_PG_DIR=$dir"
      echo "export SENTREL_PG_SOCKET=$dir"
      return 0
    fi
  done
  cat "$dir/servidor.log" >&2
  return 1
}

# Stops the server as an administrator would (sessions ended, a clean
# shutdown), keeping the cluster.
detener() {
  local dir=${1:?directory of the cluster}
  comprobar_dir "$dir"
  como_servidor "$bin/pg_ctl" -D "$dir/datos" -m fast -w -t 60 stop >/dev/null
}

reanudar() {
  local dir=${1:?directory of the cluster}
  comprobar_dir "$dir"
  arrancar "$dir" "$(cat "$dir/puerto")"
}

parar() {
  local dir=${1:?directory of the cluster}
  comprobar_dir "$dir"
  if [ -f "$dir/datos/postmaster.pid" ]; then
    como_servidor "$bin/pg_ctl" -D "$dir/datos" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

case "${1:-}" in
  iniciar) iniciar "${2:-}" ;;
  parar) parar "${2:-}" ;;
  detener) detener "${2:-}" ;;
  reanudar) reanudar "${2:-}" ;;
  *)
    echo "uso: $(basename "$0") iniciar [--fsync] | parar DIR | detener DIR | reanudar DIR" >&2
    exit 2
    ;;
esac
