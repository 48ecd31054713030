#!/usr/bin/env bash
# Builds the Debian package from the built tree and checks what a kiosk PC would get.
#   package_test.sh BUILD_DIR
set -uo pipefail
work="$(mktemp -d "${KALINDA_TEST_TMPDIR:-/tmp}/package-XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
names() { tr ',|' '\n\n' | sed 's/(.*//; s/^ *//; s/ *$//' | sort -u; } # of a Depends list

(cd "$1" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb="$(ls "$work"/out/kalinda_*.deb)" root="$work/root"
dpkg-deb -x "$deb" "$root" && dpkg-deb -e "$deb" "$work/control"
[ -x "$root/usr/bin/kalinda" ] && [ -x "$root/usr/libexec/kalinda/kalinda-session" ] || fail "programs missing"
for f in usr/share/kalinda/sql/30-kiosk.sql usr/share/kalinda/sql/assemble.cmake \
    usr/share/doc/kalinda/{README.md,copyright,changelog.gz} \
    usr/share/doc/kalinda/docs/{architecture.md,screens/visit-1366x768.png} etc/default/kalinda; do
    [ -f "$root/$f" ] || fail "$f missing"
done
readelf -S "$root/usr/bin/kalinda" | grep -q '\.debug_info' && fail "the program is not stripped"
grep -qx 'KALINDA_PROFILE=1' "$root/etc/default/kalinda" || fail "no profile in /etc/default/kalinda"
zcat "$root/usr/share/man/man1/kalinda.1.gz" | grep -q -- 'profile' || fail "no manual page"

[ "$(dpkg-deb -f "$deb" Package Version Architecture)" = "Package: kalinda
Version: @VERSION@
Architecture: $(dpkg --print-architecture)" ] || fail "control: $(dpkg-deb -f "$deb" Package Version Architecture)"
declared="$(dpkg-deb -f "$deb" Depends | names)"
for pkg in cage xwayland qt6-wayland libpam-systemd adduser; do
    grep -qx "$pkg" <<<"$declared" || fail "Depends lacks $pkg"
done
grep -qx '/etc/default/kalinda' "$work/control/conffiles" || fail "/etc/default/kalinda is no conffile"
grep -q 'adduser .*--system .*kalinda' "$work/control/preinst" || fail "preinst creates no user"
# The program keeps its password from other users: root:kalinda 0750, set before dpkg unpacks it.
grep -q 'dpkg-statoverride --add root kalinda 0750 /usr/bin/kalinda' "$work/control/preinst" &&
    grep -q 'dpkg-statoverride --remove /usr/bin/kalinda' "$work/control/postrm" &&
    [ "$(stat -c %a "$root/usr/bin/kalinda")" = 750 ] || fail "the program's owner and mode are not guarded"
[ "$(dpkg-deb -f "$deb" Pre-Depends)" = adduser ] || fail "adduser is no Pre-Depends of the preinst"
grep -q 'adduser --quiet kalinda "$group"' "$work/control/postinst" &&
    ! grep -q 'for group in .*input' "$work/control/postinst" || fail "kalinda joins the group input"

# Every library the program links is declared.
mkdir -p "$work/shlib/debian" && printf 'Source: k\n\nPackage: k\nArchitecture: any\n' >"$work/shlib/debian/control"
needed="$(cd "$work/shlib" && dpkg-shlibdeps -O "$root/usr/bin/kalinda" 2>/dev/null | sed 's/^shlibs:Depends=//' | names)"
for lib in libqt6widgets6 libqt6network6 libqt6printsupport6 libmariadb3 libcups2; do
    grep -qx "$lib" <<<"$needed" || fail "dpkg-shlibdeps does not find $lib"
done
for pkg in $needed; do
    grep -qx "$pkg" <<<"$declared" || fail "Depends lacks $pkg, which dpkg-shlibdeps finds"
done

lintian "$deb" >"$work/lintian.log" 2>&1
cat "$work/lintian.log"
grep -q '^E: ' "$work/lintian.log" && fail "lintian reports errors"

# The unit as systemd reads it, running the package's session (its manual page is above).
unit="$work/kalinda.service"
sed "s|=/usr/libexec/|=$root/usr/libexec/|" "$root/lib/systemd/system/kalinda.service" >"$unit"
grep -q "^ExecStart=$root/" "$unit" || fail "the unit does not start the session"
systemd-analyze verify --man=no "$unit" >"$work/verify.log" 2>&1 && [ ! -s "$work/verify.log" ] ||
    fail "systemd-analyze verify: $(cat "$work/verify.log")"
for line in Restart=on-failure User=kalinda TTYPath=/dev/tty1 EnvironmentFile=-/etc/default/kalinda StateDirectory=kalinda \
    RuntimeDirectory=kalinda ProtectSystem=strict ProtectHome=yes; do
    grep -qx "$line" "$unit" || fail "the unit lacks $line"
done
grep -q '^After=.*network-online.target.*cups.service' "$unit" || fail "the unit does not wait for network and CUPS"
# The sandbox: rated 9.2 without it.
score="$(systemd-analyze security --offline=true "$unit" 2>/dev/null | sed -n 's/.*exposure level for .*: \([0-9.]*\) .*/\1/p')"
awk -v s="$score" 'BEGIN { exit !(s != "" && s <= 4) }' || fail "systemd-analyze security rates the unit ${score:-?}"

# The daily audit: a timer and its service, verified as systemd reads them, never enabled by the
# package, and a failed run shown as a failed unit.
audit="$work/kalinda-audit.service"
sed "s|=/usr/bin/|=$root/usr/bin/|" "$root/lib/systemd/system/kalinda-audit.service" >"$audit"
cp "$root/lib/systemd/system/kalinda-audit.timer" "$work/"
systemd-analyze verify --man=no "$audit" "$work/kalinda-audit.timer" >"$work/verify-audit.log" 2>&1 &&
    [ ! -s "$work/verify-audit.log" ] || fail "systemd-analyze verify (audit): $(cat "$work/verify-audit.log")"
grep -qx "ExecStart=$root/usr/bin/kalinda audit --from yesterday --to yesterday --profile \${KALINDA_PROFILE}" "$audit" &&
    grep -qx 'Type=oneshot' "$audit" && grep -qx 'DynamicUser=yes' "$audit" &&
    grep -qx 'LoadCredential=kalinda-audit-password:/etc/kalinda/audit-password' "$audit" ||
    fail "the audit's service does not run the audit of yesterday as a user of its own"
grep -q '^OnCalendar=' "$work/kalinda-audit.timer" && grep -qx 'WantedBy=timers.target' "$work/kalinda-audit.timer" ||
    fail "the audit's timer has no daily time"
grep -q 'kalinda-audit' "$work/control/postinst" && fail "the package enables the audit's timer"
grep -q 'purge kalinda-audit.timer' "$work/control/postrm" || fail "a purge leaves the audit's timer enabled"
score="$(systemd-analyze security --offline=true "$audit" 2>/dev/null | sed -n 's/.*exposure level for .*: \([0-9.]*\) .*/\1/p')"
awk -v s="$score" 'BEGIN { exit !(s != "" && s <= 2) }' || fail "systemd-analyze security rates the audit ${score:-?}"
grep -q '^#KALINDA_AUDIT_USER=' "$root/etc/default/kalinda" || fail "/etc/default/kalinda does not name the audit's account"
exit $((failures > 0))
