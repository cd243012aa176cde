# Throwaway PostgreSQL server for tests, sourced by bash scripts.
# pg_start DIR: initdb into DIR/data and start a server that listens on a
# Unix socket in DIR only; sets PGHOST, PGPORT, PGUSER. Returns 77 (skip)
# when the server programs are not installed. The server runs as an
# unprivileged user (nobody when started as root). pg_stop stops it.

pg_bin() {
  local dir
  for dir in /usr/lib/postgresql/*/bin; do
    [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ] && { echo "$dir"; return 0; }
  done
  return 1
}

pg_as_owner() {  # runs a command as the server's owner
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

pg_start() {
  local dir=$1 bin
  if ! bin=$(pg_bin); then
    echo "SKIP: PostgreSQL server programs not found (install Debian's postgresql package)"
    return 77
  fi
  PG_BIN=$bin
  PG_DIR=$dir
  chmod 0755 "$dir"
  mkdir -p "$dir/data" "$dir/socket"
  [ "$(id -u)" -eq 0 ] && chown nobody "$dir/data" "$dir/socket"
  pg_as_owner "$bin/initdb" -D "$dir/data" -U zxtest -A trust -E UTF8 \
    --locale=C --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log"; return 1; }
  pg_as_owner "$bin/pg_ctl" -D "$dir/data" -w -t 60 -l "$dir/socket/server.log" \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir/socket' -c fsync=off" \
    start >/dev/null || { cat "$dir/socket/server.log"; return 1; }
  export PGHOST=$dir/socket PGPORT=5432 PGUSER=zxtest PGDATABASE=postgres
}

pg_stop() {
  [ -n "${PG_DIR:-}" ] || return 0
  pg_as_owner "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
  PG_DIR=
}
