#!/usr/bin/env bash
# The PostgreSQL server that the record-server tests share for one ctest run, and the
# servers of their own that some tests break on purpose.
#   postgres.sh start STATE [PID]  initdb and start a server on a free loopback port; STATE
#                                  then holds its libpq connection string (trust, user kelvra)
#   postgres.sh stop STATE         stop it and remove its folder
#   postgres.sh crash STATE        stop it at once (immediate shutdown), keeping its data
#   postgres.sh restart STATE      start it again after a crash, on the same port
# KELVRA_PG_OPTIONS adds server options at start (e.g. "-c synchronous_commit=on" for a
# server that is crashed on purpose and must keep what it said it committed).
# The server runs as an unprivileged user (postgres, else nobody) when started by root,
# lives in a folder under /tmp, and is stopped by a watchdog should the process PID (ctest,
# by default the caller) die before the cleanup test runs.
set -euo pipefail
cmd=${1:-} state=${2:-}
[ -n "$cmd" ] && [ -n "$state" ] || { echo "usage: postgres.sh start|stop STATE" >&2; exit 2; }
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "postgres.sh: no PostgreSQL server installed (Debian package postgresql)" >&2
  exit 1
fi

# The server's user may not enter the build folder (a clone under /root): work from /tmp.
state=$(realpath -m "$state")
cd /tmp

owner_of() { stat -c %U "$1"; }
as_user() {
  local user=$1; shift
  if [ "$(id -u)" -eq 0 ]; then runuser -u "$user" -- "$@"; else "$@"; fi
}

stop_server() {
  local dir
  dir=$(cat "$state.dir" 2>/dev/null || true)
  if [ -f "$state.watch" ]; then
    kill -TERM -- "-$(cat "$state.watch")" 2>/dev/null || true  # the watchdog's group, its sleep too
  fi
  if [ -n "$dir" ] && [ -f "$dir/data/postmaster.pid" ]; then
    as_user "$(owner_of "$dir/data")" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 ||
      kill -9 "$(head -n 1 "$dir/data/postmaster.pid")" 2>/dev/null || true
  fi
  case "$dir" in /tmp/kelvra-pg.*) rm -rf "$dir" ;; esac
  rm -f "$state" "$state.dir" "$state.watch"
}

start_on() {  # user dir port
  as_user "$1" "$bindir/pg_ctl" -D "$2/data" -l "$2/server.log" -w -t 60 \
    -o "-p $3 -k $2 -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=300 $(cat "$2/options")" \
    start >/dev/null 2>&1 </dev/null
}

case "$cmd" in
  stop)
    stop_server
    exit 0
    ;;
  crash)
    dir=$(cat "$state.dir")
    as_user "$(owner_of "$dir/data")" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null
    exit 0
    ;;
  restart)
    dir=$(cat "$state.dir")
    port=$(sed -n 's/.*port=\([0-9]*\).*/\1/p' "$state")
    start_on "$(owner_of "$dir/data")" "$dir" "$port" || { cat "$dir/server.log" >&2; exit 1; }
    exit 0
    ;;
  start) ;;
  *) echo "usage: postgres.sh start|stop|crash|restart STATE" >&2; exit 2 ;;
esac
watched=${3:-$PPID}

stop_server  # what a killed run may have left
user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  user=postgres
  id -u "$user" >/dev/null 2>&1 || user=nobody
fi
dir=$(mktemp -d /tmp/kelvra-pg.XXXXXX)
echo "$dir" >"$state.dir"
echo "${KELVRA_PG_OPTIONS:-}" >"$dir/options"
chmod 700 "$dir"
[ "$(id -u)" -ne 0 ] || chown "$user" "$dir"
if ! as_user "$user" "$bindir/initdb" -D "$dir/data" -A trust -U kelvra -E UTF8 --locale=C.UTF-8 --no-sync \
    >"$dir/initdb.log" 2>&1 </dev/null; then
  cat "$dir/initdb.log" >&2
  stop_server
  exit 1
fi
for attempt in 1 2 3 4 5; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  if start_on "$user" "$dir" "$port"; then
    echo "host=127.0.0.1 port=$port user=kelvra" >"$state"
    # Stops the server when ctest goes away without running the cleanup test.
    setsid bash -c "while kill -0 $watched 2>/dev/null; do sleep 2; done; rm -f '$state.watch'; bash '$0' stop '$state'" \
      >/dev/null 2>&1 </dev/null &
    echo $! >"$state.watch"
    exit 0
  fi
  echo "postgres.sh: start on port $port failed (attempt $attempt)" >&2
done
cat "$dir/server.log" >&2 || true
stop_server
exit 1
