# A three-node MariaDB Galera cluster on this machine, for demos and tests (sourced by scripts/db).
# Each node has its own data folder, temporary folder, socket and address; by default all three
# listen on the port of profiles 2 to 4. Everything can be moved with the environment:
#   KALINDA_CLUSTER_DIR        folders of the nodes (.kalinda/cluster)
#   KALINDA_CLUSTER_HOSTS      the three node addresses ("127.0.0.2 127.0.0.3 127.0.0.4")
#   KALINDA_CLUSTER_PORT       SQL port of every node (the build's KALINDA_DB_PORT_SERVER, 3306)
#   KALINDA_CLUSTER_GCOMM_PORT Galera group communication (4567)
#   KALINDA_CLUSTER_IST_PORT   incremental state transfer (4568)
#   KALINDA_CLUSTER_SST_PORT   full state transfer by rsync (4444)
#   KALINDA_CLUSTER_SYNC_WAIT  wsrep_sync_wait of every node (1: reads see what any node committed)
# shellcheck shell=bash

CL_DIR="${KALINDA_CLUSTER_DIR:-$KALINDA_ROOT/.kalinda/cluster}"
read -r -a CL_HOSTS <<<"${KALINDA_CLUSTER_HOSTS:-127.0.0.2 127.0.0.3 127.0.0.4}"
CL_PORT="${KALINDA_CLUSTER_PORT:-$(build_setting KALINDA_DB_PORT_SERVER 3306)}"
CL_GCOMM_PORT="${KALINDA_CLUSTER_GCOMM_PORT:-4567}"
CL_IST_PORT="${KALINDA_CLUSTER_IST_PORT:-4568}"
CL_SST_PORT="${KALINDA_CLUSTER_SST_PORT:-4444}"
CL_SYNC_WAIT="${KALINDA_CLUSTER_SYNC_WAIT:-1}"
CL_PROVIDER=/usr/lib/galera/libgalera_smm.so

# The rsync state transfer runs its daemon as the server's user: nodes run as mysql with
# mysql-owned folders when we are root (as the server itself would refuse root anyway).
if [ "$(id -u)" -eq 0 ]; then CL_USER=mysql; else CL_USER="$(id -un)"; fi

node_dir() { echo "$CL_DIR/node$1"; }
node_sock() { echo "$CL_DIR/node$1/mysqld.sock"; }
node_host() { echo "${CL_HOSTS[$(($1 - 1))]}"; }

node_sql() { # node, statement
    mariadb --no-defaults --socket="$(node_sock "$1")" -uroot -N -B -e "$2" 2>/dev/null
}
node_running() { mariadb-admin --no-defaults --socket="$(node_sock "$1")" -uroot ping >/dev/null 2>&1; }
node_state() {
    node_sql "$1" "SHOW STATUS LIKE 'wsrep_local_state_comment'" | cut -f2
}
node_size() {
    node_sql "$1" "SHOW STATUS LIKE 'wsrep_cluster_size'" | cut -f2
}

any_running() {
    local n
    for n in 1 2 3; do node_running "$n" && return 0; done
    return 1
}

start_node() { # node, bootstrap (1 = first node of a new cluster)
    local n="$1" bootstrap="$2" dir
    dir="$(node_dir "$n")"
    mkdir -p "$dir/data" "$dir/tmp"
    chown -R "$CL_USER:" "$dir"
    local gcomm="" h
    for h in "${CL_HOSTS[@]}"; do gcomm+="${gcomm:+,}$h:$CL_GCOMM_PORT"; done
    local extra=()
    if [ "$bootstrap" -eq 1 ]; then
        extra+=(--wsrep-new-cluster)
        # The last node to leave may start the cluster again; this script stops node 1 last.
        [ -f "$dir/data/grastate.dat" ] && sed -i 's/^safe_to_bootstrap: 0/safe_to_bootstrap: 1/' "$dir/data/grastate.dat"
    fi
    # With the demo's certificates (scripts/db tls) the nodes offer TLS to clients; they run as
    # $CL_USER and read copies of their own.
    if [ -f "$TLS_DIR/server-cert.pem" ]; then
        install -o "$CL_USER" -m 600 "$TLS_DIR/ca.pem" "$TLS_DIR/server-cert.pem" "$TLS_DIR/server-key.pem" "$dir/"
        mapfile -t -O "${#extra[@]}" extra < <(tls_args "$dir")
    fi
    local addr
    addr="$(node_host "$n")"
    setsid mariadbd --no-defaults --datadir="$dir/data" --tmpdir="$dir/tmp" --socket="$(node_sock "$n")" \
        --port="$CL_PORT" --bind-address="$addr" --user="$CL_USER" --pid-file="$dir/mysqld.pid" \
        --log-error="$dir/mysqld.err" --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
        --innodb-buffer-pool-size=64M --innodb-log-file-size=16M \
        --binlog-format=ROW --innodb-autoinc-lock-mode=2 --default-storage-engine=InnoDB \
        --wsrep-on=ON --wsrep-provider="$CL_PROVIDER" --wsrep-cluster-name=kalinda \
        --wsrep-cluster-address="gcomm://$gcomm" --wsrep-node-name="node$n" --wsrep-node-address="$addr" \
        --wsrep-provider-options="gmcast.listen_addr=tcp://$addr:$CL_GCOMM_PORT;ist.recv_addr=$addr:$CL_IST_PORT;gcache.size=64M" \
        --wsrep-sst-receive-address="$addr:$CL_SST_PORT" --wsrep-sst-method=rsync \
        --wsrep-sync-wait="$CL_SYNC_WAIT" --server-id="$n" --event-scheduler=ON \
        "${extra[@]}" </dev/null >/dev/null 2>&1 &
}

# An event runs only on the node that created it (the others keep it disabled, told apart by
# server_id) and KILL is local: each node gets a watchdog of its own, created there.
node_watchdog() { # node
    node_sql "$1" "CREATE EVENT IF NOT EXISTS \`cashless-adm\`.awasi_sesi_kiosk_node$1 ON SCHEDULE
        EVERY 2 SECOND DO CALL \`cashless-adm\`.AkhiriSesiKiosk()" ||
        log "Node $1: no watchdog of kiosk sessions (is the school database loaded?)"
}

wait_synced() { # node
    local i
    for i in $(seq 1 300); do
        [ "$(node_state "$1" 2>/dev/null)" = "Synced" ] && return 0
        sleep 0.2
    done
    log "Node $1 did not reach Synced; see $(node_dir "$1")/mysqld.err"
    tail -n 20 "$(node_dir "$1")/mysqld.err" >&2 || true
    return 1
}

# As root the nodes run as $CL_USER, which must pass through every folder above theirs: a
# folder of mktemp -d (0700) or a home folder shuts it out, and the server cannot even be
# installed. Says which folders and what to change.
check_cluster_dir() {
    [ "$(id -u)" -eq 0 ] || return 0
    if ! id "$CL_USER" >/dev/null 2>&1; then
        log "The nodes run as the user $CL_USER when started as root, and there is no such user (install mariadb-server)"
        return 1
    fi
    local dir blocked=() parent
    dir="$(realpath -m "$CL_DIR")"
    parent="$dir"
    while [ "$parent" != / ]; do
        parent="$(dirname "$parent")"
        if [ -d "$parent" ] && ! runuser -u "$CL_USER" -- test -x "$parent" 2>/dev/null; then
            blocked=("$parent" "${blocked[@]}")
        fi
    done
    [ ${#blocked[@]} -eq 0 ] && return 0
    log "The nodes' folders are in $dir, but the user $CL_USER, which the nodes run as when started as root, cannot enter:"
    for parent in "${blocked[@]}"; do
        printf '    %s\n' "$(stat -c '%A %U:%G %n' "$parent")" >&2
    done
    log "Let it through (chmod o+x ${blocked[*]}), or choose KALINDA_CLUSTER_DIR under a folder it can enter (e.g. /var/tmp/kalinda-cluster)."
    return 1
}

cluster_start() { # [node]
    if [ ! -x "$(command -v mariadbd)" ] || [ ! -f "$CL_PROVIDER" ] || ! command -v rsync >/dev/null; then
        ensure_packages
    fi
    check_cluster_dir
    local nodes=(1 2 3)
    [ -n "${1:-}" ] && nodes=("$1")
    local n
    if ! any_running; then
        # Node 1 starts the cluster and is loaded once; the others copy it by state transfer.
        local first="${nodes[0]}" fresh=0
        if [ ! -d "$(node_dir "$first")/data/mysql" ]; then
            log "Creating the data folder of node $first"
            mkdir -p "$(node_dir "$first")/tmp"
            chown -R "$CL_USER:" "$(node_dir "$first")"
            if ! mariadb-install-db --no-defaults --datadir="$(node_dir "$first")/data" \
                --tmpdir="$(node_dir "$first")/tmp" --user="$CL_USER" --skip-test-db \
                --auth-root-authentication-method=socket >"$(node_dir "$first")/install.log" 2>&1; then
                log "Installing node $first's data folder failed; see $(node_dir "$first")/install.log"
                tail -n 20 "$(node_dir "$first")/install.log" >&2 || true
                return 1
            fi
            fresh=1
        fi
        log "Starting a new cluster on node $first ($(node_host "$first"):$CL_PORT)"
        start_node "$first" 1
        wait_synced "$first"
        if [ "$fresh" -eq 1 ]; then
            log "Loading the school database with demo data"
            load_sql "$(node_sock "$first")" "$CL_DIR/kalinda-demo.sql"
        fi
        nodes=("${nodes[@]:1}")
    fi
    for n in "${nodes[@]}"; do
        if node_running "$n"; then
            log "Node $n already running"
            continue
        fi
        log "Node $n joins ($(node_host "$n"):$CL_PORT)"
        start_node "$n" 0
        wait_synced "$n"
    done
    for n in 1 2 3; do node_running "$n" && node_watchdog "$n"; done
    cluster_status
}

cluster_stop() { # [node]
    local nodes=(3 2 1) n
    [ -n "${1:-}" ] && nodes=("$1")
    for n in "${nodes[@]}"; do
        if node_running "$n"; then
            mariadb-admin --no-defaults --socket="$(node_sock "$n")" -uroot shutdown
            log "Node $n stopped"
        fi
    done
}

cluster_status() {
    local n up=0
    for n in 1 2 3; do
        if node_running "$n"; then
            echo "node $n: $(node_host "$n"):$CL_PORT $(node_state "$n"), cluster size $(node_size "$n")"
            up=$((up + 1))
        else
            echo "node $n: $(node_host "$n"):$CL_PORT stopped"
        fi
    done
    [ "$up" -gt 0 ]
}

cluster_main() {
    case "${1:-}" in
        start) cluster_start "${2:-}" ;;
        stop) cluster_stop "${2:-}" ;;
        reset)
            cluster_stop
            rm -rf "$CL_DIR"
            cluster_start
            ;;
        status) cluster_status ;;
        *)
            echo "usage: scripts/db cluster start [1-3]|stop [1-3]|reset|status" >&2
            exit 2
            ;;
    esac
}
