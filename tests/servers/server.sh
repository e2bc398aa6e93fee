#!/usr/bin/env bash
# Private database servers for the tests: a PostgreSQL or MariaDB instance on
# loopback, with its own data directory and a free port, never a system
# service.
#
#   server.sh start  pg|mariadb STATE_DIR   make a new instance and start it
#   server.sh halt   pg|mariadb STATE_DIR   stop it, keeping its data
#   server.sh resume pg|mariadb STATE_DIR   start it again on the same port
#   server.sh stop   pg|mariadb STATE_DIR   stop it and remove its data
#   server.sh sql    pg|mariadb STATE_DIR [DATABASE]
#                                           run the SQL on standard input as
#                                           the administrator
#
# STATE_DIR/env, written by start, holds shell assignments for the tests:
#   PORT, DATA (the data directory), LOG (the server's log), ODBC (a
#   connection string for the test database "morvel" as its owner),
#   READER_ODBC (the same database as a user who may only read), and for
#   PostgreSQL FAULTS_ODBC (the database "faults", read in batches of 100
#   rows, where the planner may not sort).
# Beside STATE_DIR, odbcinst.ini names the drivers for the tests (ODBCSYSINI):
# the system's entries may switch on the PostgreSQL driver's logging, which
# leaves a file in /tmp for every connection.
# Starting over a state directory whose instance still runs stops that first,
# so a run that died half-way leaves nothing behind after the next one.
set -euo pipefail

command=${1:?command}
engine=${2:?engine: pg or mariadb}
state=${3:?state directory}
mkdir -p "$state"
state=$(cd "$state" && pwd)

pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
readonly wait_seconds=60

die() {
    echo "server.sh: $*" >&2
    exit 1
}

# PostgreSQL refuses to run as root, and MariaDB wants to be told: as root the
# servers run as their packages' users.
run_as() {
    local user=$1
    shift
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups -- "$@"
    else
        "$@"
    fi
}

server_user() {
    if [ "$(id -u)" -ne 0 ]; then
        id -un
    elif [ "$engine" = pg ] && id postgres >/dev/null 2>&1; then
        echo postgres
    elif [ "$engine" = mariadb ] && id mysql >/dev/null 2>&1; then
        echo mysql
    else
        echo nobody
    fi
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

load_env() {
    [ -f "$state/env" ] || die "no instance in $state (start one first)"
    # shellcheck disable=SC1091
    source "$state/env"
}

pg_start_instance() {
    run_as "$USER_NAME" "$pg_bin/pg_ctl" -D "$DATA" -l "$LOG" -s -w -t "$wait_seconds" \
        -o "-p $PORT -c listen_addresses=127.0.0.1 -c unix_socket_directories=$DATA" start
    local i
    for ((i = 0; i < wait_seconds * 10; i++)); do
        if "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$PORT"; then
            return 0
        fi
        sleep 0.1
    done
    die "PostgreSQL on port $PORT did not come up; see $LOG"
}

mariadb_socket() {
    echo "$DATA/mysqld.sock"
}

mariadb_start_instance() {
    # Every stream redirected: ctest waits for whatever holds its pipes.
    run_as "$USER_NAME" /usr/sbin/mariadbd --no-defaults --datadir="$DATA" --port="$PORT" \
        --bind-address=127.0.0.1 --socket="$(mariadb_socket)" --pid-file="$DATA/mariadbd.pid" \
        --skip-name-resolve --skip-log-bin --innodb-buffer-pool-size=64M \
        --innodb-flush-log-at-trx-commit=0 --log-error="$LOG" \
        </dev/null >/dev/null 2>&1 &
    local i
    for ((i = 0; i < wait_seconds * 10; i++)); do
        if mariadb-admin --no-defaults --socket="$(mariadb_socket)" -uroot ping >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    die "MariaDB on port $PORT did not come up; see $LOG"
}

pg_sql() {
    PGOPTIONS='--client-min-messages=warning' "$pg_bin/psql" -X -q -A -t -v ON_ERROR_STOP=1 \
        -h 127.0.0.1 -p "$PORT" -U morvel -d "${1:-morvel}"
}

mariadb_sql() {
    mariadb --no-defaults --socket="$(mariadb_socket)" -uroot -N -B ${1:+"$1"}
}

write_odbcinst() {
    # Driver file names without a directory: each architecture's driver
    # manager finds its own build of the driver.
    cat >"$(dirname "$state")/odbcinst.ini" <<'EOF'
[SQLite3]
Driver=libsqlite3odbc.so

[PostgreSQL Unicode]
Driver=psqlodbcw.so

[MariaDB Unicode]
Driver=libmaodbc.so
EOF
}

start() {
    write_odbcinst
    if [ -f "$state/env" ]; then
        stop_instance || true
    fi
    USER_NAME=$(server_user)
    ROOT=$(mktemp -d "${TMPDIR:-/tmp}/morvel-$engine.XXXXXX")
    DATA=$ROOT
    LOG="$ROOT/server.log"
    chown "$USER_NAME" "$ROOT" 2>/dev/null || true
    chmod 700 "$ROOT"
    PORT=$(free_port)
    case $engine in
    pg)
        run_as "$USER_NAME" "$pg_bin/initdb" -D "$ROOT/cluster" -U morvel --auth=trust \
            --encoding=UTF8 --locale=C.UTF-8 >"$ROOT/initdb.log" 2>&1 ||
            die "initdb failed; see $ROOT/initdb.log"
        # The cluster lives in a subdirectory so that the log beside it
        # survives a halt.
        DATA="$ROOT/cluster"
        cat >>"$DATA/postgresql.conf" <<EOF
fsync = off
synchronous_commit = off
full_page_writes = off
log_line_prefix = '%u '
EOF
        write_env
        pg_start_instance
        pg_sql postgres <<'EOF'
CREATE DATABASE morvel;
-- For the logs that fail half-way (faults.sql): rows stream in index order.
CREATE DATABASE faults;
ALTER DATABASE faults SET enable_sort = off;
CREATE ROLE reader LOGIN;
-- Everything the reader does is logged, to show that it only reads.
ALTER ROLE reader SET log_statement = 'all';
EOF
        pg_sql morvel <<'EOF'
GRANT USAGE ON SCHEMA public TO reader;
ALTER DEFAULT PRIVILEGES FOR ROLE morvel IN SCHEMA public GRANT SELECT ON TABLES TO reader;
EOF
        ;;
    mariadb)
        mariadb-install-db --no-defaults --datadir="$DATA" --user="$USER_NAME" \
            --auth-root-authentication-method=normal --skip-test-db \
            >"$DATA/install.log" 2>&1 || die "mariadb-install-db failed; see $DATA/install.log"
        write_env
        mariadb_start_instance
        mariadb_sql <<'EOF'
CREATE DATABASE morvel;
CREATE USER 'morvel'@'127.0.0.1' IDENTIFIED BY 'morvel';
GRANT ALL PRIVILEGES ON morvel.* TO 'morvel'@'127.0.0.1';
CREATE USER 'reader'@'127.0.0.1' IDENTIFIED BY 'reader';
GRANT SELECT ON morvel.* TO 'reader'@'127.0.0.1';
EOF
        ;;
    *)
        die "unknown engine $engine (pg or mariadb)"
        ;;
    esac
}

write_env() {
    local odbc reader faults=""
    case $engine in
    pg)
        odbc="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PORT;Database=morvel;Uid=morvel;Pwd=;"
        reader="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PORT;Database=morvel;Uid=reader;Pwd=;"
        faults="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PORT;Database=faults;Uid=morvel;Pwd=;UseDeclareFetch=1;Fetch=100;"
        ;;
    mariadb)
        odbc="Driver={MariaDB Unicode};Server=127.0.0.1;Port=$PORT;Database=morvel;Uid=morvel;Pwd=morvel;"
        reader="Driver={MariaDB Unicode};Server=127.0.0.1;Port=$PORT;Database=morvel;Uid=reader;Pwd=reader;"
        ;;
    esac
    cat >"$state/env" <<EOF
ENGINE='$engine'
USER_NAME='$USER_NAME'
ROOT='$ROOT'
PORT='$PORT'
DATA='$DATA'
LOG='$LOG'
ODBC='$odbc'
READER_ODBC='$reader'
FAULTS_ODBC='$faults'
EOF
}

halt_instance() {
    case $engine in
    pg)
        if [ -f "$DATA/postmaster.pid" ]; then
            run_as "$USER_NAME" "$pg_bin/pg_ctl" -D "$DATA" -s -m fast -w -t "$wait_seconds" stop
        fi
        ;;
    mariadb)
        local pid=""
        [ -f "$DATA/mariadbd.pid" ] && pid=$(cat "$DATA/mariadbd.pid")
        [ -n "$pid" ] || return 0
        mariadb-admin --no-defaults --socket="$(mariadb_socket)" -uroot shutdown >/dev/null 2>&1 ||
            kill "$pid" 2>/dev/null || true
        local i
        for ((i = 0; i < wait_seconds * 10; i++)); do
            kill -0 "$pid" 2>/dev/null || return 0
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
        ;;
    esac
}

stop_instance() {
    load_env
    halt_instance || true
    case $ROOT in
    */morvel-"$engine".*) rm -rf "$ROOT" ;;
    esac
    rm -f "$state/env"
}

case $command in
start) start ;;
halt) load_env && halt_instance ;;
resume)
    load_env
    if [ "$engine" = pg ]; then pg_start_instance; else mariadb_start_instance; fi
    ;;
stop)
    [ -f "$state/env" ] && stop_instance
    ;;
sql)
    load_env
    if [ "$engine" = pg ]; then pg_sql "${4:-morvel}"; else mariadb_sql "${4:-morvel}"; fi
    ;;
*) die "unknown command $command" ;;
esac
