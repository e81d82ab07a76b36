#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL server: a new cluster in a
# temporary folder, listening on 127.0.0.1 at a free port, stopped and removed
# when the command ends. The command sees KELVORA_TEST_PGHOST, _PGPORT, _PGUSER.
set -euo pipefail

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$pgbin" ]; then
  echo "with-postgres: PostgreSQL server binaries not found" >&2
  exit 1
fi

dir=$(mktemp -d /tmp/kelvora-pg.XXXXXX)
chmod 755 "$dir"
run_pg() {
  if [ "$(id -u)" = 0 ]; then
    chown -R postgres:postgres "$dir"
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

user=$( [ "$(id -u)" = 0 ] && echo postgres || id -un )
run_pg "$pgbin/initdb" -D "$dir/data" -U "$user" --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
  || { cat "$dir/initdb.log" >&2; exit 1; }
cleanup() {
  run_pg "$pgbin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
# A port free now may be taken by another copy of this script before the server
# binds it: a start that fails is tried again on another port, drawn at random.
port=""
for attempt in 1 2 3 4 5 6 7 8; do
  candidate=""
  for p in $(shuf -i 54329-54999); do
    if ! (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null; then candidate=$p; break; fi
  done
  [ -n "$candidate" ] || { echo "with-postgres: no free port" >&2; exit 1; }
  if run_pg "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
      -o "-h 127.0.0.1 -p $candidate -k $dir -c fsync=off -c max_connections=200" start >/dev/null; then
    port=$candidate
    break
  fi
done
[ -n "$port" ] || { cat "$dir/server.log" >&2; exit 1; }

export KELVORA_TEST_PGHOST=127.0.0.1 KELVORA_TEST_PGPORT=$port KELVORA_TEST_PGUSER=$user
echo "with-postgres: server on 127.0.0.1:$port" >&2
set +e
"$@"
rc=$?
exit $rc
