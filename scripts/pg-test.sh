#!/usr/bin/env bash
# Runs the database, document, import and end-to-end suites against a
# throw-away PostgreSQL server: a cluster in a temporary folder, run as the
# unprivileged "postgres" user, listening on the loopback and a socket in that
# folder only, removed on exit.
#   scripts/pg-test.sh [BUILD_DIR]                 the suites through ctest
#   scripts/pg-test.sh BUILD_DIR COMMAND [ARG...]  any command, e.g. a benchmark
# The suites see the server through TORNU_TEST_CONNECT (an ODBC connection
# string); without it they run on SQLite. Tests whose name holds
# "ServerRestart" or "ServerStopped" stop and start the server: they run after
# the others, one at a time, and get the server's control through TORNU_TEST_PG_CTL (the
# pg_ctl command line) and TORNU_TEST_PG_DATA (its data folder); without
# those they skip.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
shift || true

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$pgbin/initdb" ] || { echo "PostgreSQL is not installed (scripts/setup-debian.sh)" >&2; exit 1; }
odbcinst -q -d -n "PostgreSQL Unicode" >/dev/null 2>&1 ||
  { echo "the PostgreSQL Unicode ODBC driver is not registered" >&2; exit 1; }

runas=()
if [ "$(id -u)" -eq 0 ]; then runas=(runuser -u postgres --); fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tornu-pg-XXXXXX")
chmod 755 "$work"
[ ${#runas[@]} -eq 0 ] || chown postgres "$work"

stop() {
  if [ -f "$work/data/postmaster.pid" ]; then
    "${runas[@]}" "$pgbin/pg_ctl" -D "$work/data" -m immediate -t 30 -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap stop EXIT

# A port nobody listens on.
port=
for candidate in $(seq 54320 54420); do
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
done
[ -n "$port" ] || { echo "no free port" >&2; exit 1; }

password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
echo "$password" >"$work/pwfile"
[ ${#runas[@]} -eq 0 ] || chown postgres "$work/pwfile"

# The socket only for the administrator; the program logs in over TCP with a
# password, as it would to a real server.
"${runas[@]}" "$pgbin/initdb" -D "$work/data" -U tornu_admin --pwfile="$work/pwfile" \
  --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$work/initdb.log" 2>&1 ||
  { cat "$work/initdb.log" >&2; exit 1; }
"${runas[@]}" "$pgbin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 30 \
  -o "-k $work -h 127.0.0.1 -p $port -c fsync=off" start >/dev/null ||
  { cat "$work/server.log" >&2; exit 1; }

# The server's own settings, so that a test can start it again with a bare
# "pg_ctl start".
cat >>"$work/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$work'
fsync = off
EOF

admin() { "${runas[@]}" "$pgbin/psql" -h "$work" -p "$port" -U tornu_admin -d postgres -v ON_ERROR_STOP=1 -qAt "$@"; }
admin -c "CREATE ROLE tornu LOGIN PASSWORD '$password'"
admin -c "CREATE DATABASE tornucfg OWNER tornu ENCODING 'UTF8'"

export TORNU_TEST_CONNECT="Driver=PostgreSQL Unicode;Server=127.0.0.1;Port=$port;Database=tornucfg;UID=tornu;PWD=$password"
# The drivers as registered, but without Debian's CommLog=1: even with its
# logs off on the connection, the driver would note each test process's last
# disconnect in a file in /tmp.
sed 's/^CommLog=1/CommLog=0/' "$(odbcinst -j | sed -n 's/^DRIVERS[^:]*: //p')" >"$work/odbcinst.ini"
export ODBCSYSINI=$work
# For psql in benchmarks and in the command.
export PGHOST=127.0.0.1 PGPORT=$port PGDATABASE=tornucfg PGUSER=tornu PGPASSWORD=$password

if [ $# -gt 0 ]; then
  "$@"
else
  export QT_QPA_PLATFORM=offscreen
  labels='^test_(db|doc|import|e2e|batch)'
  alone='Server(Restart|Stopped)'
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L "$labels" -E "$alone"
  # Alone: the server goes away under them.
  TORNU_TEST_PG_CTL="${runas[*]} $pgbin/pg_ctl -l $work/server.log" TORNU_TEST_PG_DATA="$work/data" \
    ctest --test-dir "$build" --output-on-failure --no-tests=ignore -L "$labels" -R "$alone"
fi
