#!/usr/bin/env bash
# Starts and stops the private database servers the ODBC tests run against, and writes the ODBC
# ini files that name their drivers and data sources.
#
#   test_servers.sh start|stop|status|stop-all
#
# Every test run has servers of its own, so that runs side by side (two build trees, a ctest
# beside a benchmark, two ctest runs of one tree) never end each other's connections. A run's
# state lives in one folder, $BNS_ODBC_TEST_DIR; when that is not set, the folder is
# $BNS_ODBC_TEST_BASE/run-<pid>, where <pid> is the ctest (or other process) this script was
# started by: ctest's start and stop fixtures and the tests of one ctest run share a parent, and
# so a folder. The base defaults to /tmp/bnsuite-odbc-$UID. In the folder:
#   pgdata/           the PostgreSQL cluster (owned by the server's user)
#   socket/           the server's Unix socket; the server listens on no TCP address at all
#   port              the port number that names the socket, free among all runs on the machine
#   mydata/           the MariaDB server's data folder, its temporary files too (owned by the
#                     server's user)
#   mysock/           the MariaDB server's Unix socket (mariadb.sock) and pid file (mariadb.pid)
#   my_port           the MariaDB server's TCP port on 127.0.0.1, free among all runs likewise
#   owner             the pid and start time of the run's process
#   pg.log, my.log    the servers' logs
#   odbc/odbcinst.ini the drivers "SQLite3", "PostgreSQL Unicode" and "MariaDB Unicode"
#                     (ODBCSYSINI=<dir>/odbc)
#   odbc/odbc.ini     the data sources bns_sqlite, bns_pg and bns_my (ODBCINI=<dir>/odbc/odbc.ini)
#   sqlite/           the SQLite file behind bns_sqlite
# The PostgreSQL superuser is "bnstest", trusted on the socket. The MariaDB server has the user
# "bnstest" with no password, who may do everything (make and drop databases), on the socket and
# on 127.0.0.1. On each server a database "bnstest" is made for the data source.
#
# "start" reuses servers that are already running from the folder (it prints "running") or makes
# fresh ones and starts them (it prints "started"); before that it stops the servers of runs
# whose process is gone, so a run that was cut short leaves nothing behind. "stop" stops the
# folder's servers and removes the folder; "stop-all" does that for every run under the base.
# As root, the servers run as the postgres and mysql users, since neither runs as root.
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
my_user=bnstest
my_db=bnstest

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

# The MariaDB server, its data folder maker and its client.
find_my_bin() {
    local f
    for f in mariadbd mariadb-install-db mariadb; do
        command -v "$f" >/dev/null || [ -x "/usr/sbin/$f" ] ||
            die "no MariaDB server found ($f); install the mariadb-server package (scripts/setup.sh)"
    done
    my_server="$(command -v mariadbd || echo /usr/sbin/mariadbd)"
}

find_driver() {
    local name="$1" f
    for f in /usr/lib/x86_64-linux-gnu/odbc/"$name" /usr/lib/*/odbc/"$name" /usr/lib/odbc/"$name"; do
        [ -f "$f" ] && { echo "$f"; return; }
    done
    die "ODBC driver $name not found; install libsqliteodbc, odbc-postgresql and odbc-mariadb (scripts/setup.sh)"
}

# Runs a command as a server's user ($1: postgres or mysql) when we are root, else as ourselves.
# The lock's descriptor is closed for it: a server that inherited it would hold the lock for its
# lifetime.
as_user() {
    local user="$1"
    shift
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u "$user" -- "$@" 9>&-
    else
        "$@" 9>&-
    fi
}
as_server_user() { as_user postgres "$@"; }

pg_running() {
    local d="${1:-$dir}"
    [ -f "$d/pgdata/PG_VERSION" ] && as_server_user "$pg_bin/pg_ctl" -D "$d/pgdata" status >/dev/null 2>&1
}

# The pid of the run's MariaDB server, "" when none runs from the folder.
my_pid() {
    local d="${1:-$dir}" pid
    pid="$(cat "$d/mysock/mariadb.pid" 2>/dev/null || true)"
    [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null || true)" = mariadbd ] && echo "$pid"
    return 0
}

server_running() {
    local d="${1:-$dir}"
    pg_running "$d" && [ -n "$(my_pid "$d")" ]
}

# Stops the MariaDB server of the folder $1 and waits for it to end (a crash recovery is not
# worth waiting for: the folder is removed next).
stop_mariadb() {
    local pid i
    pid="$(my_pid "$1")"
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 300; i++)); do
        [ -d "/proc/$pid" ] || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
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
    stop_mariadb "$d"
    if pg_running "$d"; then
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

# The first port from first_port on that no live run on this machine holds, written to the
# run's file $1 (port or my_port). Each port taken is claimed by a file in port_claims naming the
# run's folder; a claim is free when that folder's port files name another port or are gone. A
# port something else listens on (on 127.0.0.1, where the MariaDB server binds) is passed over.
pick_port() {
    local file="$1" p claim owner
    mkdir -p "$port_claims"
    for ((p = first_port; p <= last_port; p++)); do
        claim="$port_claims/$p"
        owner="$(cat "$claim" 2>/dev/null || true)"
        if [ -n "$owner" ] && { cat "$owner/port" "$owner/my_port" 2>/dev/null || true; } | grep -qx "$p"; then
            continue
        fi
        (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null && continue
        echo "$dir" >"$claim"
        echo "$p" >"$dir/$file"
        echo "$p"
        return
    done
    die "no free port between $first_port and $last_port for the test server"
}

write_ini_files() {
    local sqlite_driver pg_driver my_driver
    sqlite_driver="$(find_driver libsqlite3odbc.so)"
    pg_driver="$(find_driver psqlodbcw.so)"
    my_driver="$(find_driver libmaodbc.so)"
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

[MariaDB Unicode]
Description=MariaDB Connector/ODBC (Unicode)
Driver=$my_driver
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

[bns_my]
Description=Test MariaDB server
Driver=MariaDB Unicode
Server=localhost
Socket=$dir/mysock/mariadb.sock
Database=$my_db
User=$my_user
EOF
    mv -f "$dir/odbc/odbcinst.ini.tmp" "$dir/odbc/odbcinst.ini"
    mv -f "$dir/odbc/odbc.ini.tmp" "$dir/odbc/odbc.ini"
}

start() {
    reap_orphans
    if server_running; then
        port="$(cat "$dir/port")"
        my_port="$(cat "$dir/my_port")"
        write_ini_files
        echo running
        return
    fi
    local u
    for u in postgres mysql; do
        if [ "$(id -u)" -eq 0 ] && ! getent passwd "$u" >/dev/null; then
            die "running as root but there is no $u user to run the server as"
        fi
    done
    # A folder left by a run that died (or half of whose servers are gone) is not trusted: the
    # servers are made anew.
    remove_run "$dir"
    mkdir -p "$dir/pgdata" "$dir/socket" "$dir/mydata" "$dir/mysock"
    chmod 755 "$dir"
    local owner_pid="${dir##*/run-}"
    [ "$owner_pid" != "$dir" ] || owner_pid=$PPID
    process_identity "$owner_pid" >"$dir/owner"
    port="$(exec 8>"$port_lock"; flock 8; pick_port port; pick_port my_port >/dev/null)"
    my_port="$(cat "$dir/my_port")"
    chmod 700 "$dir/pgdata" "$dir/mydata"
    touch "$dir/pg.log" "$dir/my.log"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir/pgdata" "$dir/socket" "$dir/pg.log"
        chown mysql: "$dir/mydata" "$dir/mysock" "$dir/my.log"
    fi
    # The MariaDB data folder is made while PostgreSQL makes its cluster: each takes seconds. (The
    # server's shell lets go of the lock and of this script's output, which a caller reads to
    # its end.)
    start_mariadb 9>&- &
    local my_job=$!
    if ! as_server_user "$pg_bin/initdb" -D "$dir/pgdata" -U "$pg_user" --auth=trust \
            --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1; then
        cat "$dir/initdb.log" >&2
        abandon_mariadb "$my_job"
        die "initdb failed in $dir/pgdata"
    fi
    if ! as_server_user "$pg_bin/pg_ctl" -D "$dir/pgdata" -l "$dir/pg.log" -w -t 60 \
            -o "-c listen_addresses='' -k $dir/socket -p $port -c fsync=off" start >/dev/null; then
        tail -n 30 "$dir/pg.log" >&2 || true
        abandon_mariadb "$my_job"
        die "the PostgreSQL server did not start (log: $dir/pg.log)"
    fi
    if ! as_server_user "$pg_bin/createdb" -h "$dir/socket" -p "$port" -U "$pg_user" "$pg_db"; then
        as_server_user "$pg_bin/pg_ctl" -D "$dir/pgdata" stop -m fast -w >/dev/null 2>&1 || true
        abandon_mariadb "$my_job"
        die "could not create the database $pg_db"
    fi
    wait "$my_job" || die "the MariaDB server did not start (log: $dir/my.log)"
    write_ini_files
    echo started
}

# The server options of both the data folder's making and the server: small logs and buffers, no
# binary log, no waiting for the disk and no tidying at the end (a test server's data need not
# survive it), texts in utf8mb4 with the collation a Debian server has by default.
my_options=(--no-defaults --skip-log-bin --innodb-log-file-size=4M --innodb-buffer-pool-size=16M
    --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0 --skip-name-resolve
    --innodb-fast-shutdown=2 --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci)

# Makes the MariaDB data folder, starts the server on its socket and on 127.0.0.1:my_port, and
# makes the test user and database. Root signs in on the socket with its (empty) password only.
start_mariadb() {
    local sock="$dir/mysock/mariadb.sock" i
    if ! as_user mysql mariadb-install-db "${my_options[@]}" --datadir="$dir/mydata" \
            --auth-root-authentication-method=normal --skip-test-db >"$dir/my-install.log" 2>&1; then
        cat "$dir/my-install.log" >&2
        echo "test_servers: mariadb-install-db failed in $dir/mydata" >&2
        return 1
    fi
    as_user mysql "$my_server" "${my_options[@]}" --datadir="$dir/mydata" --tmpdir="$dir/mydata" --socket="$sock" \
        --pid-file="$dir/mysock/mariadb.pid" --port="$my_port" --bind-address=127.0.0.1 \
        --log-error="$dir/my.log" </dev/null >/dev/null 2>&1 9>&- &
    local server=$!
    for ((i = 0; i < 600; i++)); do
        [ -S "$sock" ] && [ -n "$(my_pid)" ] && break
        [ -d "/proc/$server" ] || break  # it ended before it listened: the log says why
        sleep 0.1
    done
    if ! mariadb --no-defaults --socket="$sock" -uroot -e "
            CREATE USER '$my_user'@'localhost' IDENTIFIED BY '';
            CREATE USER '$my_user'@'127.0.0.1' IDENTIFIED BY '';
            GRANT ALL ON *.* TO '$my_user'@'localhost';
            GRANT ALL ON *.* TO '$my_user'@'127.0.0.1';
            CREATE DATABASE \`$my_db\`;" >>"$dir/my-install.log" 2>&1; then
        tail -n 30 "$dir/my.log" "$dir/my-install.log" >&2 || true
        stop_mariadb "$dir"
        return 1
    fi
}

# When PostgreSQL fails to start, the MariaDB server starting beside it is stopped again.
abandon_mariadb() {
    wait "$1" >/dev/null 2>&1 || true
    stop_mariadb "$dir"
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
find_my_bin
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
