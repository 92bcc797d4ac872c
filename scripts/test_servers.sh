#!/usr/bin/env bash
# Starts and stops the private database servers the ODBC tests run against, and writes the ODBC
# ini files that name their drivers and data sources.
#
#   test_servers.sh start|stop|status|stop-all
#
# Every test run has a server of its own, so that runs side by side (two build trees, a ctest
# beside a benchmark, two ctest runs of one tree) never end each other's connections. A run's
# state lives in one folder, $BNS_ODBC_TEST_DIR; when that is not set, the folder is
# $BNS_ODBC_TEST_BASE/run-<pid>, where <pid> is the ctest (or other process) this script was
# started by: ctest's start and stop fixtures and the tests of one ctest run share a parent, and
# so a folder. The base defaults to /tmp/bnsuite-odbc-$UID. In the folder:
#   pgdata/           the PostgreSQL cluster (owned by the server's user)
#   socket/           the server's Unix socket; the server listens on no TCP address at all
#   port              the port number that names the socket, free among all runs on the machine
#   owner             the pid and start time of the run's process
#   pg.log            the server's log
#   odbc/odbcinst.ini the drivers "SQLite3" and "PostgreSQL Unicode"  (ODBCSYSINI=<dir>/odbc)
#   odbc/odbc.ini     the data sources bns_sqlite and bns_pg           (ODBCINI=<dir>/odbc/odbc.ini)
#   sqlite/           the SQLite file behind bns_sqlite
# The PostgreSQL superuser is "bnstest", trusted on the socket, and a database "bnstest" is made
# for the data source.
#
# "start" reuses a server that is already running from the folder (it prints "running") or makes
# a fresh cluster and starts it (it prints "started"); before that it stops the servers of runs
# whose process is gone, so a run that was cut short leaves nothing behind. "stop" stops the
# folder's server and removes the folder; "stop-all" does that for every run under the base.
# As root, the server runs as the postgres user, since PostgreSQL refuses to run as root.
set -euo pipefail

base="${BNS_ODBC_TEST_BASE:-/tmp/bnsuite-odbc-$(id -u)}"
dir="${BNS_ODBC_TEST_DIR:-$base/run-$PPID}"
# Ports are handed out under one lock for the whole machine, whatever the base.
port_lock=/tmp/bnsuite-odbc-ports.lock
port_claims=/tmp/bnsuite-odbc-ports
first_port=54329
last_port=54628
pg_user=bnstest
pg_db=bnstest

die() {
    echo "test_servers: $*" >&2
    exit 1
}

find_pg_bin() {
    local d
    for d in ${BNS_PG_BIN:-} /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
        [ -x "$d/pg_ctl" ] && [ -x "$d/initdb" ] && { echo "$d"; return; }
    done
    die "no PostgreSQL server found (initdb, pg_ctl); install the postgresql package (scripts/setup.sh)"
}

find_driver() {
    local name="$1" f
    for f in /usr/lib/x86_64-linux-gnu/odbc/"$name" /usr/lib/*/odbc/"$name" /usr/lib/odbc/"$name"; do
        [ -f "$f" ] && { echo "$f"; return; }
    done
    die "ODBC driver $name not found; install libsqliteodbc and odbc-postgresql (scripts/setup.sh)"
}

# Runs a command as the server's user: postgres when we are root, else ourselves. The lock's
# descriptor is closed for it: a server that inherited it would hold the lock for its lifetime.
as_server_user() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@" 9>&-
    else
        "$@" 9>&-
    fi
}

server_running() {
    local d="${1:-$dir}"
    [ -f "$d/pgdata/PG_VERSION" ] && as_server_user "$pg_bin/pg_ctl" -D "$d/pgdata" status >/dev/null 2>&1
}

# "<pid> <start time>" of a live process, "" when there is none; the start time tells a process
# from a later one that was given the same pid.
process_identity() {
    local stat
    stat="$(cat "/proc/$1/stat" 2>/dev/null)" || return 0
    stat="${stat##*) }"
    # Field 22 of the stat line is the start time; after the command's ")" it is the 20th.
    echo "$1 $(echo "$stat" | cut -d' ' -f20)"
}

# Stops the server of the run folder $1 and removes the folder.
remove_run() {
    local d="$1"
    if server_running "$d"; then
        as_server_user "$pg_bin/pg_ctl" -D "$d/pgdata" stop -m fast -w >/dev/null ||
            die "the PostgreSQL server in $d/pgdata did not stop"
    fi
    rm -rf "$d"
}

# Stops the servers of runs whose process has ended (a run cut short never ran its stop).
reap_orphans() {
    local d owner pid
    for d in "$base"/run-*; do
        [ -d "$d" ] && [ "$d" != "$dir" ] || continue
        owner="$(cat "$d/owner" 2>/dev/null || true)"
        pid="${owner%% *}"
        if [ -z "$owner" ] || [ "$(process_identity "$pid")" != "$owner" ]; then
            remove_run "$d"
        fi
    done
}

# The first port from first_port on that no live run on this machine holds. Each port taken is
# claimed by a file in port_claims naming the run's folder; a claim whose folder is gone is free.
pick_port() {
    local p claim owner
    mkdir -p "$port_claims"
    for ((p = first_port; p <= last_port; p++)); do
        claim="$port_claims/$p"
        owner="$(cat "$claim" 2>/dev/null || true)"
        if [ -n "$owner" ] && [ "$(cat "$owner/port" 2>/dev/null || true)" = "$p" ]; then
            continue
        fi
        echo "$dir" >"$claim"
        echo "$p"
        return
    done
    die "no free port between $first_port and $last_port for the test server"
}

write_ini_files() {
    local sqlite_driver pg_driver
    sqlite_driver="$(find_driver libsqlite3odbc.so)"
    pg_driver="$(find_driver psqlodbcw.so)"
    mkdir -p "$dir/odbc" "$dir/sqlite"
    # Written to a temporary name and moved, so that a test reading them never sees half a file.
    # The drivers stay loaded until the process ends (DontDLClose), so that the sanitized test run
    # can name the library behind a leak of a driver's own.
    cat >"$dir/odbc/odbcinst.ini.tmp" <<EOF
[SQLite3]
Description=SQLite3 ODBC Driver
Driver=$sqlite_driver
DontDLClose=1

[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=$pg_driver
DontDLClose=1
EOF
    cat >"$dir/odbc/odbc.ini.tmp" <<EOF
[bns_sqlite]
Description=Test SQLite file
Driver=SQLite3
Database=$dir/sqlite/dsn.db

[bns_pg]
Description=Test PostgreSQL server
Driver=PostgreSQL Unicode
Servername=$dir/socket
Port=$port
Database=$pg_db
Username=$pg_user
EOF
    mv -f "$dir/odbc/odbcinst.ini.tmp" "$dir/odbc/odbcinst.ini"
    mv -f "$dir/odbc/odbc.ini.tmp" "$dir/odbc/odbc.ini"
}

start() {
    reap_orphans
    if server_running; then
        port="$(cat "$dir/port")"
        write_ini_files
        echo running
        return
    fi
    if [ "$(id -u)" -eq 0 ] && ! getent passwd postgres >/dev/null; then
        die "running as root but there is no postgres user to run the server as"
    fi
    # A folder left by a run that died (its server gone) is not trusted: the cluster is made anew.
    rm -rf "$dir"
    mkdir -p "$dir/pgdata" "$dir/socket"
    chmod 755 "$dir"
    local owner_pid="${dir##*/run-}"
    [ "$owner_pid" != "$dir" ] || owner_pid=$PPID
    process_identity "$owner_pid" >"$dir/owner"
    port="$(exec 8>"$port_lock"; flock 8; p="$(pick_port)"; echo "$p" >"$dir/port"; echo "$p")"
    chmod 700 "$dir/pgdata"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir/pgdata" "$dir/socket"
        touch "$dir/pg.log" && chown postgres: "$dir/pg.log"
    fi
    if ! as_server_user "$pg_bin/initdb" -D "$dir/pgdata" -U "$pg_user" --auth=trust \
            --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1; then
        cat "$dir/initdb.log" >&2
        die "initdb failed in $dir/pgdata"
    fi
    if ! as_server_user "$pg_bin/pg_ctl" -D "$dir/pgdata" -l "$dir/pg.log" -w -t 60 \
            -o "-c listen_addresses='' -k $dir/socket -p $port -c fsync=off" start >/dev/null; then
        tail -n 30 "$dir/pg.log" >&2 || true
        die "the PostgreSQL server did not start (log: $dir/pg.log)"
    fi
    if ! as_server_user "$pg_bin/createdb" -h "$dir/socket" -p "$port" -U "$pg_user" "$pg_db"; then
        as_server_user "$pg_bin/pg_ctl" -D "$dir/pgdata" stop -m fast -w >/dev/null 2>&1 || true
        die "could not create the database $pg_db"
    fi
    write_ini_files
    echo started
}

stop() {
    remove_run "$dir"
    echo stopped
}

stop_all() {
    local d
    for d in "$base"/run-*; do
        [ -d "$d" ] && remove_run "$d"
    done
    echo stopped
}

pg_bin="$(find_pg_bin)"
mkdir -p "$base" "$(dirname "$dir")"
# One lock for the base: runs starting at once, and the reaping of runs that ended, take turns.
exec 9>"$base.lock"
flock 9

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    status) if server_running; then echo running; else echo stopped; fi ;;
    stop-all) stop_all ;;
    *) die "usage: test_servers.sh start|stop|status|stop-all" ;;
esac
