#!/usr/bin/env bash
# Starts and stops the private database servers the ODBC tests run against, and writes the ODBC
# ini files that name their drivers and data sources.
#
#   test_servers.sh start|stop|status
#
# Everything lives in one state directory, $BNS_ODBC_TEST_DIR (default /tmp/bnsuite-odbc-$UID):
#   pgdata/           the PostgreSQL cluster (owned by the server's user)
#   socket/           the server's Unix socket; the server listens on no TCP address at all, so
#                     test runs of several build trees never fight over a port
#   pg.log            the server's log
#   odbc/odbcinst.ini the drivers "SQLite3" and "PostgreSQL Unicode"  (ODBCSYSINI=<dir>/odbc)
#   odbc/odbc.ini     the data sources bns_sqlite and bns_pg           (ODBCINI=<dir>/odbc/odbc.ini)
#   sqlite/           the SQLite file behind bns_sqlite
# $BNS_PG_PORT (default 54329) names the socket file. The PostgreSQL superuser is "bnstest",
# trusted on the socket, and a database "bnstest" is made for the data source.
#
# "start" reuses a server that is already running from the directory (it prints "running") or
# makes a fresh cluster and starts it (it prints "started"); "stop" stops it and removes the
# directory. A lock next to the directory serializes test processes that start at once. As root,
# the server runs as the postgres user, since PostgreSQL refuses to run as root.
set -euo pipefail

dir="${BNS_ODBC_TEST_DIR:-/tmp/bnsuite-odbc-$(id -u)}"
port="${BNS_PG_PORT:-54329}"
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
    [ -f "$dir/pgdata/PG_VERSION" ] && as_server_user "$pg_bin/pg_ctl" -D "$dir/pgdata" status >/dev/null 2>&1
}

write_ini_files() {
    local sqlite_driver pg_driver
    sqlite_driver="$(find_driver libsqlite3odbc.so)"
    pg_driver="$(find_driver psqlodbcw.so)"
    mkdir -p "$dir/odbc" "$dir/sqlite"
    # Written to a temporary name and moved, so that a test reading them never sees half a file.
    cat >"$dir/odbc/odbcinst.ini.tmp" <<EOF
[SQLite3]
Description=SQLite3 ODBC Driver
Driver=$sqlite_driver

[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=$pg_driver
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
    if server_running; then
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
    if server_running; then
        as_server_user "$pg_bin/pg_ctl" -D "$dir/pgdata" stop -m fast -w >/dev/null ||
            die "the PostgreSQL server in $dir/pgdata did not stop"
    fi
    rm -rf "$dir"
    echo stopped
}

pg_bin="$(find_pg_bin)"
mkdir -p "$(dirname "$dir")"
exec 9>"$dir.lock"
flock 9

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    status) if server_running; then echo running; else echo stopped; fi ;;
    *) die "usage: test_servers.sh start|stop|status" ;;
esac
