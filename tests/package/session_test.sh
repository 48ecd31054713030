#!/usr/bin/env bash
# The kiosk session under the real, headless cage: systemd restarts it on failure only, so a
# crash must not end with 0 (cage's own status) and the operator's exit must.
#   session_test.sh SESSION_SCRIPT KALINDA_PROGRAM
set -uo pipefail
work="$(mktemp -d /tmp/kalinda-session-XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
chmod 755 "$work"
as_user=()
if [ "$(id -u)" -eq 0 ]; then # cage refuses to run as root
    chown nobody "$work/run"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
printf '#!/bin/sh\necho "$*" >"$XDG_RUNTIME_DIR/args"\n[ "$END" = crash ] && kill -9 $$\nexit "$END"\n' \
    >"$work/fake" && chmod 755 "$work/fake"

failures=0
expect() { # STATUS VAR=VALUE... SESSION: the session with these settings ends with STATUS.
    local want="$1" got
    shift
    timeout 60 "${as_user[@]}" env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$work/run" \
        WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "$@" >"$work/log" 2>&1
    got=$?
    [ "$got" -eq "$want" ] || { echo "FAIL: $* ended with $got, not $want" >&2; cat "$work/log" >&2; failures=$((failures + 1)); }
}
# Copies, for nobody may not reach into the build's folder.
cp "$1" "$work/session" && cp "$2" "$work/kalinda" && session="$work/session"
expect 0 KALINDA_PROGRAM="$work/fake" END=0 KALINDA_PROFILE=2 "$session"
[ "$(cat "$work/run/args")" = "--profile 2" ] || { echo "FAIL: started as $(cat "$work/run/args")" >&2; failures=$((failures + 1)); }
expect 3 KALINDA_PROGRAM="$work/fake" END=3 "$session"
# In the unit's sandbox the login session's runtime folder is hidden: the unit's own serves.
expect 0 KALINDA_PROGRAM="$work/fake" END=0 XDG_RUNTIME_DIR=/run/user/hidden RUNTIME_DIRECTORY="$work/run" "$session"
expect 137 KALINDA_PROGRAM="$work/fake" END=crash "$session"
# The compositor gone without a word from the kiosk.
expect 1 KALINDA_PROGRAM="$work/fake" KALINDA_CAGE=/bin/true "$session"
# The real program on Qt's Wayland platform refuses a wrong profile: 2, no restart.
expect 2 KALINDA_PROGRAM="$work/kalinda" KALINDA_PROFILE=9 "$session"
grep -q 'no connection profile "9"' "$work/log" || { echo "FAIL: no refusal in the log" >&2; failures=$((failures + 1)); }
[ -z "$(ls "$work/run" | grep kalinda-status)" ] || { echo "FAIL: status files left" >&2; failures=$((failures + 1)); }
exit $((failures > 0))
