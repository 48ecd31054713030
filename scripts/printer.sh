# The demo's receipt printer (sourced by scripts/demo): a private CUPS scheduler with one raw
# queue, "struk", the default destination, whose printer is a listener on loopback that writes
# each receipt it is sent to a file of its own. Moved with the environment:
#   KALINDA_RECEIPT_DIR   where the receipts go (.kalinda/receipts)
#   KALINDA_RECEIPT_PORT  the listener's port on 127.0.0.1 (9108)
# shellcheck shell=bash

PR_RECEIPTS="${KALINDA_RECEIPT_DIR:-$KALINDA_ROOT/.kalinda/receipts}"
PR_PORT="${KALINDA_RECEIPT_PORT:-9108}"
PR_DIR=""      # the scheduler's folder
PR_PIDS=()     # the scheduler and the listener

# Starts both and points libcups at the scheduler (CUPS_SERVER), for the kiosk started after
# it. Whatever stands in the way leaves the demo without a printer, as a kiosk without one.
printer_start() {
    if [ "$(id -u)" -ne 0 ]; then
        log "No receipt printer: the private scheduler needs root"
        return 0
    fi
    local tool
    for tool in cupsd lpadmin lpstat socat; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            log "No receipt printer: $tool is missing"
            return 0
        fi
    done
    mkdir -p "$PR_RECEIPTS"
    # Below /tmp: the backend runs as lp, which may not enter the folders of the clone.
    PR_DIR="$(mktemp -d /tmp/kalinda-printer-XXXXXX)"
    chmod 755 "$PR_DIR"
    mkdir -p "$PR_DIR/spool" "$PR_DIR/tmp" "$PR_DIR/cache" "$PR_DIR/state" "$PR_DIR/ssl"
    cat >"$PR_DIR/cups-files.conf" <<EOF
ServerRoot $PR_DIR
RequestRoot $PR_DIR/spool
TempDir $PR_DIR/tmp
CacheDir $PR_DIR/cache
StateDir $PR_DIR/state
ServerKeychain $PR_DIR/ssl
AccessLog $PR_DIR/access_log
ErrorLog $PR_DIR/error_log
PageLog $PR_DIR/page_log
Printcap $PR_DIR/printcap
User lp
Group lp
SystemGroup root
EOF
    cat >"$PR_DIR/cupsd.conf" <<EOF
LogLevel warn
Listen $PR_DIR/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
EOF
    # One file per receipt, named by the time it came.
    cat >"$PR_DIR/receive" <<EOF
#!/bin/sh
exec cat >"$PR_RECEIPTS/struk-\$(date +%Y%m%d-%H%M%S-%N).bin"
EOF
    chmod 755 "$PR_DIR/receive"

    socat -u "TCP-LISTEN:$PR_PORT,bind=127.0.0.1,reuseaddr,fork" "EXEC:$PR_DIR/receive" \
        >"$PR_DIR/listener.out" 2>&1 &
    PR_PIDS+=($!)
    cupsd -f -c "$PR_DIR/cupsd.conf" -s "$PR_DIR/cups-files.conf" >"$PR_DIR/cupsd.out" 2>&1 &
    PR_PIDS+=($!)
    export CUPS_SERVER="$PR_DIR/cups.sock"
    local tries=0
    until [ "$(LC_ALL=C lpstat -r 2>/dev/null)" = "scheduler is running" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "${PR_PIDS[1]}" 2>/dev/null; then
            log "No receipt printer: the scheduler did not start (see $PR_DIR/cupsd.out)"
            printer_stop
            return 0
        fi
        sleep 0.1
    done
    if ! kill -0 "${PR_PIDS[0]}" 2>/dev/null; then
        log "No receipt printer: port $PR_PORT is taken (set KALINDA_RECEIPT_PORT)"
        printer_stop
        return 0
    fi
    # A raw queue (CUPS calls them deprecated, and still serves them): the bytes go as sent.
    if ! lpadmin -p struk -E -v "socket://127.0.0.1:$PR_PORT" ||
        ! lpadmin -d struk; then
        log "No receipt printer: the queue could not be made"
        printer_stop
        return 0
    fi
    log "Receipt printer ready: every receipt goes to a file in $PR_RECEIPTS"
}

# Stops what printer_start started and removes the scheduler's folder; the receipts stay.
printer_stop() {
    local pid
    for pid in "${PR_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${PR_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    PR_PIDS=()
    if [ -n "$PR_DIR" ]; then
        rm -rf "$PR_DIR"
        PR_DIR=""
    fi
    unset CUPS_SERVER
}
