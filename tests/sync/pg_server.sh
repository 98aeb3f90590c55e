#!/usr/bin/env bash
# A throw-away PostgreSQL server for the termlink-sync tests.
#   pg_server.sh start DIR PORT   new cluster in DIR, listening on
#                                 127.0.0.1:PORT only (socket in DIR), trust
#                                 authentication, a database "fleet"
#   pg_server.sh stop DIR         stops it at once (clients are cut off; what
#                                 was committed stays, since the server runs
#                                 with synchronous_commit off and an immediate
#                                 stop would drop its last commits)
#   pg_server.sh resume DIR       starts a stopped one again, with its data
# Prints nothing but errors. PostgreSQL refuses to run as root: as root, DIR
# belongs to the "postgres" system user and the server runs as that user.
set -euo pipefail

usage() {
    echo "usage: pg_server.sh start DIR PORT | stop DIR | resume DIR" >&2
    exit 2
}

bindir=""
for d in /usr/lib/postgresql/*/bin; do
    [ -x "$d/pg_ctl" ] && bindir=$d
done
if [ -z "$bindir" ]; then
    echo "pg_server.sh: no PostgreSQL server found in /usr/lib/postgresql/*/bin" >&2
    exit 1
fi

as_server_user() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

# Runs a command quietly; shows its output only when it fails.
quiet() {
    local out
    if ! out=$("$@" 2>&1); then
        printf '%s\n' "$out" >&2
        return 1
    fi
}

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || usage

case "$cmd" in
start)
    port=${3:-}
    [ -n "$port" ] || usage
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir"
    fi
    chmod 700 "$dir"
    if ! as_server_user test -w "$dir"; then
        echo "pg_server.sh: $dir: the server's user cannot write here (a parent folder closed to it?)" >&2
        exit 1
    fi
    data=$dir/data
    quiet as_server_user "$bindir/initdb" -D "$data" -U postgres --auth=trust \
        --no-sync --encoding=UTF8 --locale=C.UTF-8
    cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
shared_buffers = 16MB
max_connections = 40
EOF
    # Loopback and the socket only, without passwords.
    cat >"$data/pg_hba.conf" <<EOF
local all all trust
host all all 127.0.0.1/32 trust
EOF
    # -w waits until the server accepts connections.
    quiet as_server_user "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 start
    quiet as_server_user "$bindir/createdb" -h "$dir" -p "$port" -U postgres fleet
    ;;
stop)
    [ -d "$dir/data" ] || exit 0
    quiet as_server_user "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop
    ;;
resume)
    quiet as_server_user "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start
    ;;
*)
    usage
    ;;
esac
