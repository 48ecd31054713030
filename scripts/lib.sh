# Shared by the scripts in this folder: package installation, build and settings.
# shellcheck shell=bash

KALINDA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KALINDA_BUILD_DIR="${KALINDA_BUILD_DIR:-$KALINDA_ROOT/build}"

# What building the kiosk and opening it on the demo database, with its receipt printer, need
# (scripts/demo).
KALINDA_KIOSK_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
    libmariadb-dev mariadb-server mariadb-client
    libcups2-dev
    xvfb
    cups cups-client socat
)
# Everything: also the tests, the benchmarks, the cluster and the package.
KALINDA_PACKAGES=(
    "${KALINDA_KIOSK_PACKAGES[@]}" clang-format
    galera-4 rsync
    cups-bsd
    googletest libgtest-dev
    poppler-utils valgrind
    dpkg-dev lintian systemd cage xwayland qt6-wayland
)

log() { printf '==> %s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# Installs whatever of the packages named (by default KALINDA_PACKAGES) is missing; a machine
# that has everything is left alone.
ensure_packages() {
    local wanted=("$@")
    [ $# -eq 0 ] && wanted=("${KALINDA_PACKAGES[@]}")
    local missing=()
    local pkg
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "Installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -q
    as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures the build folder (further cmake arguments in "$@") and builds every target, or
# only those named in KALINDA_BUILD_TARGETS.
build_kiosk() {
    log "Building ${KALINDA_BUILD_TARGETS:-everything} into $KALINDA_BUILD_DIR"
    # ccache is optional; where it is installed, checkouts side by side share their objects.
    local launcher=()
    if command -v ccache >/dev/null 2>&1; then
        export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$KALINDA_ROOT")}"
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$KALINDA_ROOT" -B "$KALINDA_BUILD_DIR" -G Ninja \
        -DCMAKE_BUILD_TYPE="${KALINDA_BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@" >/dev/null
    local build=(cmake --build "$KALINDA_BUILD_DIR") targets
    if [ -n "${KALINDA_BUILD_TARGETS:-}" ]; then
        read -r -a targets <<<"$KALINDA_BUILD_TARGETS"
        build+=(--target "${targets[@]}")
    fi
    "${build[@]}"
}

# A deployment setting as the build has it, or its default when there is no build yet.
build_setting() {
    local name="$1" default="$2" value=""
    if [ -f "$KALINDA_BUILD_DIR/CMakeCache.txt" ]; then
        value="$(sed -n "s/^$name:[A-Z]*=//p" "$KALINDA_BUILD_DIR/CMakeCache.txt")"
    fi
    printf '%s' "${value:-$default}"
}
