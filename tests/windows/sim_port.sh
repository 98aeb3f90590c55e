# Sourced by the Windows job's scripts.
# sim_port FILE [READY]: waits (up to 10 s) until a termsim whose output goes
# to FILE has printed READY (by default its listening line) and prints the
# TCP port it chose; prints nothing when it never did.
sim_port() {
    local out=$1 ready=${2:- port }
    for _ in $(seq 100); do
        grep -q -- "$ready" "$out" 2>/dev/null && break
        sleep 0.1
    done
    sed -n 's/.* port \([0-9]*\).*/\1/p' "$out" | head -1
}
