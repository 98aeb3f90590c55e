#!/usr/bin/env bash
# End to end across platforms: a native simulated terminal on loopback, and
# the Windows termlink.exe under Wine next to the Linux tool, over the TCP and
# the datagram plug-ins (and a serial line when Wine's COM port can be mapped
# to the simulator's pseudo-terminal). The Windows tool must print the same
# CSV as the Linux one: an 8 MiB attendance log and the users. Then the
# update tool installs a pack with qvupdate.exe --batch, backups cross
# platforms, and attendance reports of every kind match byte for byte.
#   e2e.sh NATIVE_BUILD WINDOWS_BUILD [WINE]
# Prints "N passed, M failed"; exits non-zero on a failure.
set -euo pipefail
source "$(dirname "$0")/sim_port.sh"
native=$(cd "$1" && pwd) win=$(cd "$2" && pwd) wine=${3:-wine}
export WINEDEBUG=-all
work=$(mktemp -d)
sim_pid= keyed_pid=
cleanup() {
    for pid in $sim_pid $keyed_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# 40-byte records (text-ID terminal): 209,000 punches fill the 8 MiB
# download buffer to within 28 KiB.
"$native/bin/termsim" --port 0 --profile tft --users 300 --punches 209000 --seed 7 --ptys 1 \
    > "$work/sim.out" 2>&1 < /dev/null &
sim_pid=$!
port=$(sim_port "$work/sim.out" "termsim: pty")
pty=$(sed -n 's/^termsim: pty //p' "$work/sim.out" | head -1)
[ -n "$port" ] || { echo "termsim did not start:"; cat "$work/sim.out"; exit 1; }

passed=0 failed=0
check() {  # name linux-file windows-file
    if cmp -s "$2" "$3"; then
        passed=$((passed + 1)); echo "ok   $1 ($(wc -l < "$2") lines, $(wc -c < "$2") bytes)"
    else
        failed=$((failed + 1)); echo "FAIL $1"; diff "$2" "$3" | head -5 || true
    fi
}

for kind in tcp net; do
    for what in logs users; do
        "$native/bin/termlink" --$kind "127.0.0.1:$port" --csv $what > "$work/linux-$kind-$what.csv"
        "$wine" "$win/bin/termlink.exe" --$kind "127.0.0.1:$port" --csv $what \
            > "$work/win-$kind-$what.csv" 2> "$work/win-$kind-$what.err" || true
        check "$what over $kind" "$work/linux-$kind-$what.csv" "$work/win-$kind-$what.csv"
    done
done

# The update tool: qvpack.exe builds a pack, qvupdate.exe --batch installs it
# through portmux.dll.
head -c 3000 /dev/urandom > "$work/firmware.bin"
(cd "$work" && "$wine" "$win/bin/qvpack.exe" -o update.pack --firmware firmware.bin \
    && "$wine" "$win/bin/qvupdate.exe" --batch --net "127.0.0.1:$port" update.pack) \
    > "$work/qvupdate.out" 2>&1 || true
if grep -q "Update firmware successfully!" "$work/qvupdate.out"; then
    passed=$((passed + 1)); echo "ok   qvupdate --batch installs a firmware pack"
else
    failed=$((failed + 1)); echo "FAIL qvupdate --batch"; head -5 "$work/qvupdate.out"
fi

# Serial: Wine opens COMn through the link dosdevices/comn.
prefix=${WINEPREFIX:-$HOME/.wine}
if [ -n "$pty" ] && [ -d "$prefix/dosdevices" ]; then
    ln -sfn "$pty" "$prefix/dosdevices/com7"
    "$wine" "$win/bin/termlink.exe" --com COM7 --csv users > "$work/win-com-users.csv" \
        2> "$work/win-com-users.err" || true
    rm -f "$prefix/dosdevices/com7"
    check "users over a serial line (COM7 -> $pty)" "$work/linux-tcp-users.csv" \
        "$work/win-com-users.csv"
else
    failed=$((failed + 1))
    echo "FAIL serial line: no simulator pseudo-terminal or no Wine dosdevices folder ($prefix)"
fi

# The communication key: the key proof (CNG on Windows) lets the right key
# in and refuses a wrong one.
"$native/bin/termsim" --port 0 --profile tft --users 5 --punches 10 --ptys 0 --key 4321 \
    > "$work/keyed.out" 2>&1 < /dev/null &
keyed_pid=$!
keyed_port=$(sim_port "$work/keyed.out")
if "$wine" "$win/bin/termlink.exe" --tcp "127.0.0.1:$keyed_port" --key 4321 info > /dev/null 2>&1 &&
    ! "$wine" "$win/bin/termlink.exe" --net "127.0.0.1:$keyed_port" --key 4320 info > /dev/null 2>&1; then
    passed=$((passed + 1)); echo "ok   the communication key is proven, a wrong one refused"
else
    failed=$((failed + 1)); echo "FAIL communication key"
fi

# Backups cross platforms: archlib.dll and libarchlib.so write the same file
# format, so a backup taken by one tool restores through the other.
"$native/bin/termsim" --port 0 --profile classic --users 20 --punches 200 --ptys 0 \
    > "$work/backup.out" 2>&1 < /dev/null &
backup_pid=$!
backup_port=$(sim_port "$work/backup.out")
linux() { "$native/bin/termlink" -q --tcp "127.0.0.1:$backup_port" "$@"; }
windows() { (cd "$work" && "$wine" "$win/bin/termlink.exe" -q --tcp "127.0.0.1:$backup_port" "$@"); }
tables() { linux --csv users && linux --csv logs; }
tables > "$work/tables-before.csv"
for way in windows-to-linux linux-to-windows; do
    rm -f "$work/data.arc"
    if [ $way = windows-to-linux ]; then
        windows backup data.arc > /dev/null 2>&1 || true
        linux clear all --yes > /dev/null 2>&1 || true
        linux restore "$work/data.arc" --yes > /dev/null 2>&1 || true
    else
        linux backup "$work/data.arc" > /dev/null 2>&1 || true
        linux clear all --yes > /dev/null 2>&1 || true
        windows restore data.arc --yes > /dev/null 2>&1 || true
    fi
    tables > "$work/tables-$way.csv" 2> /dev/null || true
    check "backup $way" "$work/tables-before.csv" "$work/tables-$way.csv"
done
kill "$backup_pid" 2>/dev/null || true
wait "$backup_pid" 2>/dev/null || true

# Attendance reports: the Windows tool's page of every kind is the Linux
# tool's, byte for byte, and so is its UTF-8 copy. One user's name is GBK
# beyond GB2312 (the terminal's bytes for 朱镕基) and the caption needs
# GB18030's four-byte form (Muñoz): both tools read and write them alike.
"$native/bin/termsim" --port 0 --profile tft --users 12 --punches 400 --seed 3 --ptys 0 \
    > "$work/report.out" 2>&1 < /dev/null &
report_pid=$!
report_port=$(sim_port "$work/report.out")
"$native/bin/termlink" -q --tcp "127.0.0.1:$report_port" --csv users > "$work/report-users.csv" \
    || true
first_user=$(sed -n '2s/,.*//p' "$work/report-users.csv")
"$native/bin/termlink" -q --tcp "127.0.0.1:$report_port" user set "$first_user" \
    --name "$(printf '\326\354\351\106\273\371')" > /dev/null 2>&1 || true
for kind in punches exceptions statistics; do
    args=(report --from 2024-03-04 --to 2024-03-15 --kind $kind --caption "Muñoz" --utf8)
    (cd "$work" && "$native/bin/termlink" -q --tcp "127.0.0.1:$report_port" "${args[@]}" \
        -o linux-$kind.html > /dev/null 2> "linux-$kind.err") || true
    (cd "$work" && "$wine" "$win/bin/termlink.exe" -q --tcp "127.0.0.1:$report_port" "${args[@]}" \
        -o win-$kind.html > /dev/null 2> "win-$kind.err") || true
    if [ -s "$work/linux-$kind.utf8.html" ] && grep -q "朱镕基" "$work/linux-$kind.utf8.html"; then
        check "report --kind $kind" "$work/linux-$kind.html" "$work/win-$kind.html"
        check "report --kind $kind, UTF-8 copy" "$work/linux-$kind.utf8.html" \
            "$work/win-$kind.utf8.html"
    else
        failed=$((failed + 1)); echo "FAIL report --kind $kind: no Linux page naming 朱镕基"
        head -3 "$work/linux-$kind.err"
    fi
done
kill "$report_pid" 2>/dev/null || true
wait "$report_pid" 2>/dev/null || true

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
