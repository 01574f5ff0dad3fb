#!/usr/bin/env bash
# The demo update: builds qxntupd.exe, serves a demo update from a loopback
# server, lays out a demo install folder whose qxntupd.ini points at it, and
# runs the updater under Wine with LANG=ja_JP.UTF-8.
#
# With a usable X display the updater is the real interactive program: answer
# its boxes yourself. Without one it runs under Xvfb and the window driver of
# the end-to-end tests, qx_window_driver.exe, plays the user through its line
# protocol (tests/driver/README.md): each box is answered Yes (or OK), both
# logs are printed, and a screenshot is taken while a download is half done
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

# The line protocol of qx_window_driver.exe: arguments and report values are
# bytes (texts in code page 932) with every byte outside 0x21..0x7E, and the
# backslash, written \xNN.
driver_escape() {
    local LC_ALL=C
    local text=$1 escaped='' char i
    for ((i = 0; i < ${#text}; i++)); do
        char=${text:i:1}
        case $char in
        [!!-~] | \\) printf -v char '\\x%02X' "'$char" ;;
        esac
        escaped+=$char
    done
    printf '%s' "$escaped"
}

# The value of field NAME of report LINE, unescaped; fails when it has none.
# Values hold no blank, so " NAME=" can only start a field.
report_field() {
    local name=$1 line=" $2"
    [[ $line == *" $name="* ]] || return 1
    local value=${line#*" $name="}
    printf '%b' "${value%% *}"
}

# A text of the window as UTF-8 for the terminal, without carriage returns.
shown_text() {
    iconv -f CP932 -t UTF-8 | tr -d '\r'
}

# Sends one command to the driver and leaves its report lines (those before
# "end") in `reply`; fails when the driver does not answer within a minute or
# reports an error.
driver() {
    printf '%s\n' "$*" >&"$to_driver"
    reply=()
    local line
    while IFS= read -r -t 60 line <&"$from_driver"; do
        if [ "$line" = end ]; then
            [[ ${reply[0]:-} != error* ]] && return 0
            echo "The window driver refused '$1': $(report_field message "${reply[0]}")" >&2
            return 1
        fi
        reply+=("$line")
    done
    echo "The window driver did not answer '$1'" >&2
    return 1
}

# Keeps both logs of the window: its two multi-line edit boxes, the status
# log above the error log.
read_logs() {
    driver window || return 0
    local line logs=()
    for line in "${reply[@]}"; do
        [[ $line == control* && ,$(report_field flags "$line"), == *,multiline,* ]] &&
            logs+=("$(report_field text "$line" | shown_text)")
    done
    [ "${#logs[@]}" -eq 2 ] || return 0
    status_log=${logs[0]}
    error_log=${logs[1]}
}

# A download is half done: the bar stands at half its range or more, but not
# at its end.
download_half_done() {
    driver progress || return 1
    local pos max
    pos=$(report_field pos "${reply[0]}") && max=$(report_field max "${reply[0]}") || return 1
    [ "$max" -gt 0 ] && [ $((pos * 2)) -ge "$max" ] && [ "$pos" -lt "$max" ]
}

take_screenshot() {
    driver window || return 0
    local frame=${reply[0]} left top width height
    left=$(report_field left "$frame") && top=$(report_field top "$frame") &&
        width=$(report_field width "$frame") && height=$(report_field height "$frame") || return 0
    if import -window root -crop "${width}x${height}+${left}+${top}" +repage "$demo/screenshot.png"; then
        echo "Screenshot of the window in mid-update: $demo/screenshot.png"
    fi
}

# Answers the box of report BOX: Yes where it has one, OK otherwise.
answer_box() {
    local box=$1 answer=ok
    [[ ,$(report_field buttons "$box"), == *,yes,* ]] && answer=yes
    echo "box: $(report_field text "$box" | shown_text | tr '\n' ' ') -> $answer"
    driver answer "$answer" 10000
}

print_logs() {
    printf -- '--- status log ---\n%s\n--- error log ---\n%s\n' "$status_log" "$error_log"
}

# The headless user: until the updater ends (within two minutes) answers each
# box, reading both logs before, since the updater writes its last lines just
# before its last box and its window is gone once it has ended; takes one
# screenshot in mid-download; then prints both logs.
play_the_user() {
    local image title driver_pid
    image=$(printf '%s' "Z:${demo//\//\\}\\install\\qxntupd.exe" | iconv -f UTF-8 -t CP932)
    title=$(sed -n 's/.*kAppTitle\[\] = "\(.*\)";/\1/p' src/updater/Texts.h)
    coproc DRIVER { exec wine build/windows/tests/driver/qx_window_driver.exe 2>"$demo/driver.err"; }
    driver_pid=$DRIVER_PID
    qx_kill_at_exit "$driver_pid"
    # Copies that stay open should the driver end before the loop does.
    exec {from_driver}<&"${DRIVER[0]}" {to_driver}>&"${DRIVER[1]}"
    status_log='' error_log=''
    driver attach "$(driver_escape "$image")" "$(driver_escape "$title")" 60000 || return 0
    local deadline=$((SECONDS + 120)) screenshot_taken=false
    while :; do
        driver box 20 || break
        if [[ ${reply[0]} == "box "* ]]; then
            local box=${reply[0]}
            read_logs
            answer_box "$box" || break
            continue
        fi
        driver ended 0 || break
        if [ "$(report_field ended "${reply[0]}")" = 1 ]; then
            echo "The updater ended with exit code $(report_field code "${reply[0]}")."
            break
        fi
        if ! $screenshot_taken && download_half_done; then
            take_screenshot
            screenshot_taken=true
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "The updater did not end within two minutes; closing its window." >&2
            read_logs
            driver close 5000 || true
            break
        fi
    done
    print_logs
    driver quit || true
    exec {from_driver}<&- {to_driver}>&-
    wait "$driver_pid" || echo "The window driver failed: $(cat "$demo/driver.err")" >&2
}

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
    play_the_user
    # Ended already, unless the user's part failed.
    kill "$updater_pid" 2>/dev/null || true
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
