#!/usr/bin/env bash
# Transfer benchmark of the Windows client under Wine against the native
# simulated terminal, side by side with the Linux client in the same run:
# the tool downloads the 8 MiB attendance log (and writes it as CSV to a
# file: under Wine, output to /dev/null is far slower) over TCP and over
# datagrams, three times each, alternating.
# Reported: median seconds per download and the ratio Windows/Linux, raw and
# with each program's start-up (the same tool printing its version) taken off.
#   bench/windows_transfer.sh NATIVE_BUILD WINDOWS_BUILD [WINE]
set -euo pipefail
native=$1 win=$2 wine=${3:-wine}
export WINEDEBUG=-all
work=$(mktemp -d)
"$native/bin/termsim" --port 0 --profile tft --users 300 --punches 209000 --seed 7 \
    > "$work/sim.out" 2>&1 < /dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q " port " "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/sim.out" | head -1)

seconds() {  # command... -> wall seconds
    local t0 t1
    t0=$(date +%s.%N); "$@" > "$work/out" 2>&1 || true; t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'
}
median() { sort -n | sed -n 2p; }

linux_tool=("$native/bin/termlink")
win_tool=("$wine" "$win/bin/termlink.exe")
seconds "${win_tool[@]}" --version > /dev/null  # warm Wine up
for round in 1 2 3; do
    seconds "${linux_tool[@]}" --version >> "$work/linux-start"
    seconds "${win_tool[@]}" --version >> "$work/win-start"
done
ls_=$(median < "$work/linux-start") ws=$(median < "$work/win-start")
printf "start-up: linux %.3f s, windows under wine %.3f s\n" "$ls_" "$ws"
for kind in tcp net; do
    for round in 1 2 3; do
        seconds "${linux_tool[@]}" --$kind "127.0.0.1:$port" --csv logs >> "$work/linux-$kind"
        seconds "${win_tool[@]}" --$kind "127.0.0.1:$port" --csv logs >> "$work/win-$kind"
    done
    l=$(median < "$work/linux-$kind") w=$(median < "$work/win-$kind")
    printf "8 MiB log over %s: linux %.3f s, windows %.3f s, ratio %.2f (start-up taken off: %.2f)\n" \
        "$kind" "$l" "$w" "$(awk -v w="$w" -v l="$l" 'BEGIN { print w / l }')" \
        "$(awk -v w="$w" -v l="$l" -v ws="$ws" -v ls="$ls_" 'BEGIN { print (w - ws) / (l - ls) }')"
done
