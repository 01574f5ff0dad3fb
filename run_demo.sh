#!/usr/bin/env bash
# The demo update: builds qxntupd.exe, serves a demo update from a loopback
# server, lays out a demo install folder whose qxntupd.ini points at it, and
# runs the updater under Wine with LANG=ja_JP.UTF-8.
#
# With a usable X display the updater is the real interactive program: answer
# its boxes yourself. Without one it runs under Xvfb, and qxdemo_driver.exe
# answers each box Yes (or OK), prints both logs and reports the window's
# rectangle while a download is half done, for a screenshot
# (build/demo/screenshot.png).
#
# Exits 0 when the demo update completed: both files replaced, the new update
# key saved in qxntupd.ini and the mascot stand-in started.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
# A prefix of the demo's own: the headless run switches Wine to drawing the
# window frames itself, which the tests' prefix is kept free of.
export WINEPREFIX="$root/build/demo/wineprefix"
source "$root/tools/setup.sh"
cd "$QX_ROOT"

demo="$QX_ROOT/build/demo"
old_key="demo-1"
new_key="demo-2"

qx_ensure_packages "${QX_BUILD_PACKAGES[@]}" "${QX_WINE_PACKAGES[@]}"
qx_ensure_japanese_locale
export LANG=ja_JP.UTF-8

jobs="$(nproc)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target qx_test_server

interactive=false
qx_display_usable && interactive=true
qx_ensure_display
qx_ensure_wine_prefix

# Without a window manager (Xvfb) Wine draws the title bar itself only for
# windows it does not hand to a window manager.
if $interactive; then
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
else
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi

rm -rf "$demo/www" "$demo/install" "$demo/port" "$demo/screenshot.png"
mkdir -p "$demo/www/files" "$demo/install/data"
cp demo/files/greeting.txt demo/files/changes.txt "$demo/www/files/"

# changes.txt goes out 512 bytes every 150 ms, so that its download takes a
# moment and the window can be seen in the middle of it.
changes="$demo/www/files/changes.txt"
cat >"$demo/server.script" <<EOF
path /files/changes.txt
line HTTP/1.0 200 OK
line Content-Length: $(stat -c %s "$changes")
line
pace 512 150
file $changes
EOF
build/native/tests/server/qx_test_server --port-file "$demo/port" --root "$demo/www" \
    --script "$demo/server.script" --max-seconds 900 &
qx_kill_at_exit $!
for _ in $(seq 1 100); do
    [ -s "$demo/port" ] && break
    sleep 0.1
done
[ -s "$demo/port" ] || { echo "The demo server did not start" >&2; exit 1; }
port="$(cat "$demo/port")"
sed "s/@PORT@/$port/" demo/update.txt.in >"$demo/www/update.txt"

cp build/windows/src/app/qxntupd.exe build/windows/demo/programs/qxdemo_mascot.exe "$demo/install/"
printf 'old greeting\r\n' >"$demo/install/greeting.txt"
printf 'old changes\r\n' >"$demo/install/data/changes.txt"
printf '[Instruction]\r\nURL=http://127.0.0.1:%s/update.txt\r\nKEY=%s\r\nSTARTAPP=qxdemo_mascot.exe\r\n' \
    "$port" "$old_key" >"$demo/install/qxntupd.ini"

echo "Demo update served at http://127.0.0.1:$port/update.txt; install folder $demo/install"
(cd "$demo/install" && exec wine qxntupd.exe) &
updater_pid=$!
qx_kill_at_exit "$updater_pid"

if $interactive; then
    echo "The updater is running on $DISPLAY; answer its boxes and close its window."
else
    windows_path="Z:${demo//\//\\}\\install\\qxntupd.exe"
    coproc DRIVER { exec wine build/windows/demo/programs/qxdemo_driver.exe "$windows_path" 2>"$demo/driver.err"; }
    driver_pid=$DRIVER_PID
    qx_kill_at_exit "$driver_pid"
    while IFS= read -r line <&"${DRIVER[0]}"; do
        case "$line" in
        "midupdate "*)
            read -r left top width height <<<"${line#midupdate }"
            if import -window root -crop "${width}x${height}+${left}+${top}" +repage "$demo/screenshot.png"; then
                echo "Screenshot of the window in mid-update: $demo/screenshot.png"
            fi
            ;;
        *) printf '%s\n' "$line" ;;
        esac
    done
    wait "$driver_pid" || echo "The driver failed: $(cat "$demo/driver.err")"
fi
wait "$updater_pid" || true

# The updater starts the mascot just before it ends; give the stand-in a
# moment to leave its marker.
for _ in $(seq 1 100); do
    [ -e "$demo/install/mascot_started.txt" ] && break
    sleep 0.1
done

completed=true
check() {
    if "${@:2}"; then echo "ok:     $1"; else echo "FAILED: $1"; completed=false; fi
}
check "greeting.txt replaced" cmp -s demo/files/greeting.txt "$demo/install/greeting.txt"
check "data\\changes.txt replaced" cmp -s demo/files/changes.txt "$demo/install/data/changes.txt"
check "KEY=$new_key saved in qxntupd.ini" grep -qx "KEY=$new_key" <(tr -d '\r' <"$demo/install/qxntupd.ini")
check "STARTAPP started" test -e "$demo/install/mascot_started.txt"
check "no temporary file left" test ! -e "$demo/install/qxupdfl.tmp"
if $completed; then
    echo "The demo update completed."
else
    echo "The demo update did not complete." >&2
    exit 1
fi
