# Shared set-up of run_tests.sh and run_demo.sh, sourced by both: installs what
# is missing on a fresh Debian 12 machine, prepares the Wine prefix and makes
# sure there is an X display.

QX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$QX_ROOT/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

qx_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages that are not installed yet; runs apt-get only
# when something is missing.
qx_ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    qx_as_root apt-get update -qq
    qx_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

QX_BUILD_PACKAGES=(cmake make g++ libgtest-dev libgmock-dev g++-mingw-w64-x86-64)
QX_WINE_PACKAGES=(wine wine64 xvfb fonts-ipafont-gothic x11-utils imagemagick locales)

# Processes to end when the calling script exits, each by its pid.
QX_PIDS_TO_KILL=()
qx_kill_at_exit() {
    QX_PIDS_TO_KILL+=("$1")
    trap qx_kill_started_processes EXIT
}
qx_kill_started_processes() {
    local pid
    for pid in "${QX_PIDS_TO_KILL[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}

# Wine takes its ANSI code page from the Unix locale: LANG=ja_JP.UTF-8 gives
# code page 932 only when that locale exists; otherwise Wine falls back to
# English and code page 1252. A fresh Debian has the locale data but no
# compiled Japanese locale.
qx_ensure_japanese_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
    echo "Compiling the ja_JP.UTF-8 locale"
    qx_as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

# A prefix of our own, made once; wineboot takes about ten seconds.
qx_ensure_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
}

qx_display_usable() {
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

# Starts Xvfb on a free display when there is none; it is ended by its pid
# when the calling script exits. The search for a free display number starts
# at QX_XVFB_FIRST_DISPLAY (default 90).
qx_ensure_display() {
    qx_display_usable && return 0
    local n="${QX_XVFB_FIRST_DISPLAY:-90}"
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    qx_kill_at_exit $!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}
