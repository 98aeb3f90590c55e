#!/usr/bin/env bash
# The update tool's window on Windows, under Wine on a virtual X display:
# qvupdate.exe started without arguments opens its dialog; xdotool presses
# TCP/IP, types a port that is not a number (the message naming it is
# answered), then the native simulator's address, its port in "$" hex and a
# pack, and presses Update. The report must say the firmware and the options
# went in, and the simulator must hold the options. Screenshots of the dialog
# and of its report go to ARTEFACTS (named in the log).
#   window.sh NATIVE_BUILD WINDOWS_BUILD WINE ARTEFACTS
# Prints "N passed, M failed"; exits non-zero on a failure.
set -euo pipefail
native=$(cd "$1" && pwd) win=$(cd "$2" && pwd) wine=$3 artefacts=$4
mkdir -p "$artefacts"
artefacts=$(cd "$artefacts" && pwd)
export WINEDEBUG=-all
work=$(mktemp -d)
sim_pid= xvfb_pid= window_pid=
cleanup() {
    for pid in $window_pid $sim_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
ok() { passed=$((passed + 1)); echo "ok   $1"; }
fail() {
    failed=$((failed + 1)); echo "FAIL $1"
    sed 's/^/     out: /' "$work/window.out" 2>/dev/null | tail -5 || true
    sed 's/^/     err: /' "$work/window.err" 2>/dev/null | tail -5 || true
}
# Polls every 0.2 s, at most $1 seconds (a bound, not a measurement).
wait_for() {
    local limit=$(($1 * 5)); shift
    for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.2; done
    "$@"
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit; }

for tool in Xvfb xdotool; do
    command -v $tool >/dev/null || { fail "$tool is not installed (./run installs it)"; finish; }
done

"$native/bin/termsim" --port 0 --profile tft --users 5 --punches 10 --ptys 0 \
    > "$work/sim.out" 2>&1 < /dev/null &
sim_pid=$!
wait_for 20 grep -q " port " "$work/sim.out" || true
port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/sim.out" | head -1)
[ -n "$port" ] || { fail "termsim did not start"; finish; }

head -c 3000 /dev/urandom > "$work/firmware.bin"
printf 'DeviceID=9\n~Key=XY\n' > "$work/opts.txt"
"$native/bin/qvpack" -o "$work/window.pack" --firmware "$work/firmware.bin" \
    --config "$work/opts.txt" > /dev/null

# A display number nobody else on the machine holds.
display=$((90 + $$ % 400))
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 20 test -e "/tmp/.X11-unix/X$display" || { fail "Xvfb did not start"; finish; }
export DISPLAY=":$display"

(cd "$work" && exec "$wine" "$win/bin/qvupdate.exe") > "$work/window.out" 2> "$work/window.err" &
window_pid=$!

# The X windows titled QVUpdate that are shown: the dialog, and its message
# box while one is open.
shown() { xdotool search --onlyvisible --name '^QVUpdate$' 2>/dev/null || true; }
count_is() { [ "$(shown | wc -l)" -eq "$1" ]; }
if ! wait_for 60 count_is 1; then
    fail "qvupdate.exe without arguments opens its window"; finish
fi
id=$(shown | head -1)
ok "qvupdate.exe without arguments opens its window"

# The X window holds the whole Windows window: its frame and caption (drawn
# by Wine, as no window manager runs) around the 257 x 137 client area.
eval "$(xdotool getwindowgeometry --shell "$id")"
border=$(((WIDTH - 257) / 2))
top=$((HEIGHT - 137 - border))
click() { xdotool mousemove --window "$id" $((border + $1)) $((top + $2)) click 1; }
fill() {  # x y text: click into the field, select its text, type over it
    click "$1" "$2"
    xdotool key End shift+Home BackSpace
    xdotool type --delay 30 "$3"
}
printed() { grep -q "$1" "$work/window.out"; }
answer() {  # waits for the message box, answers it with Enter, waits until it is gone
    wait_for 30 count_is 2 || return 1
    local box
    box=$(shown | grep -vx "$id" | head -1)
    xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null || true
    xdotool key Return
    wait_for 30 count_is 1
}
snapshot() {
    if command -v import >/dev/null; then
        import -display "$DISPLAY" -window root "$artefacts/$1" 2>/dev/null &&
            echo "     screenshot: $artefacts/$1"
    fi
}

sleep 0.5  # let Wine paint the controls before the first screenshot (not a check)
snapshot window-windows-start.png
if grep -q "needs .* pixels" "$work/window.err"; then
    fail "every text fits its control"
else
    ok "every text fits its control"
fi

click 34 14  # TCP/IP: "IP Address:" / "Port Number:", 192.168.1.201, $1112
fill 110 60 "43x0"
click 214 124  # Update
if wait_for 30 printed 'Port Number "43x0" is not a whole number.' && answer; then
    ok "a port that is not a number is named in a message box"
else
    fail "a port that is not a number is named in a message box"
fi

fill 170 38 "127.0.0.1"
fill 110 60 "$(printf '$%X' "$port")"
fill 110 100 "Z:${work//\//\\}\\window.pack"
click 214 124
if wait_for 120 printed "Update config" && wait_for 30 count_is 2; then
    snapshot window-windows-report.png
    answer || true
    if printed "Update firmware successfully!" && printed "Update config successfully!"; then
        ok "Update installs the pack and shows the report"
    else
        fail "Update installs the pack and shows the report"
    fi
else
    fail "Update installs the pack and shows the report"
fi
device_id=$("$native/bin/termlink" -q --tcp "127.0.0.1:$port" option get DeviceID 2>/dev/null || true)
if [ "$device_id" = 9 ]; then
    ok "the terminal holds the pack's options (DeviceID=9)"
else
    fail "the terminal holds the pack's options (DeviceID is '$device_id')"
fi

# A terminal that is not there: a message box says so, with the printed text.
fill 170 38 "127.0.0.1"
fill 110 60 "1"
click 214 124
if wait_for 120 printed "No connection to 127.0.0.1:1." && answer; then
    ok "a failed connection shows a message box"
else
    fail "a failed connection shows a message box"
fi

xdotool key --window "$id" alt+F4 2>/dev/null || true
finish
