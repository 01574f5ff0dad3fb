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
QX_WINE_PACKAGES=(wine wine64 xvfb fonts-ipafont-gothic x11-utils imagemagick)

# A prefix of our own, made once; wineboot takes about ten seconds.
# The test displays have no window manager. Unless Wine manages the windows
# itself, it waits two seconds for a window manager each time a window is
# hidden (every message box that closes), and the window answers no message
# meanwhile.
qx_ensure_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
    if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg"; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
        wineserver -w || true
    fi
}

# Starts Xvfb on a free display when there is none; it is ended by its pid
# when the calling script exits.
qx_ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QX_XVFB_PID=$!
    trap 'kill "$QX_XVFB_PID" 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}
