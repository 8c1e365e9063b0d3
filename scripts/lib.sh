# Shared set-up for scripts/run and scripts/test: installs what a fresh Debian 12 machine lacks,
# then configures and builds one build folder. Sourced, not run.

MF_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MF_JOBS=$(nproc 2>/dev/null || echo 2)

# python3 and dovecot-core read the mail writer's output in its check (no Dovecot service is started); Python's
# icalendar, dateutil and vobject and Node.js read the calendar writer's.
MF_PACKAGES=(cmake g++ ninja-build pkg-config libicu-dev libgtest-dev libgmock-dev libboost-dev libboost-iostreams-dev
    python3 dovecot-core python3-icalendar python3-dateutil python3-vobject nodejs)
MF_SANITIZE_PACKAGES=(clang-14 libclang-rt-14-dev)
# The vCard writer's independent readers: Python's vobject, and Node.js with npm for ical.js.
MF_PACKAGES+=(python3 python3-vobject nodejs npm)
# The manual page's check renders it with man (groff) and reads it as plain text through col.
MF_PACKAGES+=(man-db bsdextrautils)

mf_log() { printf '== %s\n' "$*" >&2; }

# mf_package_present PKG: PKG is installed, or an installed package provides it (NodeSource's nodejs provides
# npm, and Debian's npm cannot be installed beside it).
mf_package_present() {
    dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed' && return 0
    local provided
    provided=$(dpkg-query -W -f='${Status} ${Provides}\n' 2>/dev/null | grep '^install ok installed' || true)
    grep -qE "[ ,]$1( |,|\(|\$)" <<<"$provided"
}

# mf_ensure_packages PKG...: apt-get installs the packages that are not installed yet.
mf_ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        mf_package_present "$pkg" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    mf_log "installing ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    # Dovecot only reads test output here: no mail server is left running after its installation.
    if [[ " ${missing[*]} " == *" dovecot-core "* ]] && command -v systemctl >/dev/null 2>&1; then
        "${sudo[@]}" systemctl disable --now dovecot.service dovecot.socket >/dev/null 2>&1 || true
    fi
}

# mf_ensure_npm: npm for the readers the tests pin; some Node.js packages bring their own and conflict with Debian's.
mf_ensure_npm() {
    command -v npm >/dev/null 2>&1 || mf_ensure_packages npm
}

# mf_build DIR [CMAKE ARGS...]: configures DIR once and builds in it everything, or the targets named in
# MF_TARGETS (space-separated).
mf_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$MF_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    fi
    local targets=()
    local t
    for t in ${MF_TARGETS:-}; do targets+=(--target "$t"); done
    cmake --build "$dir" -j "$MF_JOBS" "${targets[@]}"
}
