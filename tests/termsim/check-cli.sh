#!/usr/bin/env bash
# termsim's command line: each mistake is refused with exit 2 and a message
# naming what was wrong; a port in use is named with the system's reason.
#   check-cli.sh TERMSIM
set -uo pipefail
TERMSIM=$1
fail() { echo "check-cli: $*" >&2; exit 1; }

# arguments | a part of the message expected on standard error
cases=(
    "--profile foo|unknown profile 'foo'; the profiles are legacy, classic, extended, tft and fp10"
    "--users -5|--users takes a whole number from 0 to 65534, not '-5'"
    "--port 70000|--port takes a whole number from 0 to 65535, not '70000'"
    "--punches many|--punches takes a whole number"
    "--drop 2|--drop cannot take '2'"
    "--frobnicate|unknown option '--frobnicate'"
    "--state|--state needs a value"
)
for c in "${cases[@]}"; do
    args=${c%%|*}
    want=${c#*|}
    # shellcheck disable=SC2086 # the arguments are words
    err=$("$TERMSIM" $args 2>&1 </dev/null >/dev/null)
    status=$?
    [ "$status" -eq 2 ] || fail "termsim $args: exit $status, not 2"
    grep -qF -- "$want" <<<"$err" || fail "termsim $args: no \"$want\" in: $err"
done

# A port in use: one termsim holds a free port, a second asks for it.
work=$(mktemp -d)
trap 'kill "$first" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkfifo "$work/in"
"$TERMSIM" --port 0 --no-udp --ptys 0 <"$work/in" >"$work/first.out" 2>&1 &
first=$!
exec 3>"$work/in"  # keeps the first one's standard input open
port=
for _ in $(seq 1 600); do  # a bound on a loaded machine, not a measurement
    port=$(sed -n 's/.* port \([0-9]*\) (tcp).*/\1/p' "$work/first.out")
    [ -n "$port" ] && break
    kill -0 "$first" 2>/dev/null || fail "the first termsim ended: $(cat "$work/first.out")"
    sleep 0.1
done
[ -n "$port" ] || fail "the first termsim did not report its port"
err=$("$TERMSIM" --port "$port" --no-udp --ptys 0 2>&1 </dev/null >/dev/null)
status=$?
[ "$status" -eq 1 ] || fail "a port in use: exit $status, not 1"
grep -qF "cannot open the TCP port $port on 127.0.0.1: Address already in use" <<<"$err" ||
    fail "a port in use: $err"
echo "check-cli: ok"
