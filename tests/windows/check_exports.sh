#!/bin/sh
# termlink.dll's export table must be exactly the export table's first column:
# every name spelled as listed (decorated ones with their leading underscore
# and @ suffix), nothing more; and the name table in ascending byte order, as
# the PE format requires: GetProcAddress finds names by binary search.
#   check_exports.sh OBJDUMP termlink.dll exports.tsv
set -eu
objdump=$1 dll=$2 table=$3
tmp=${TMPDIR:-/tmp}/tl-exports.$$
trap 'rm -f "$tmp".*' EXIT
grep -v '^#' "$table" | awk 'NF == 4 { print $1 }' | LC_ALL=C sort > "$tmp.want"
"$objdump" -p "$dll" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' > "$tmp.table"
if ! LC_ALL=C sort -c "$tmp.table"; then
    echo "the DLL's name table is not sorted: GetProcAddress would miss names" >&2
    exit 1
fi
LC_ALL=C sort "$tmp.table" > "$tmp.got"
if ! diff -u "$tmp.want" "$tmp.got"; then
    echo "export table mismatch (- listed only, + exported only)" >&2
    exit 1
fi
echo "$(wc -l < "$tmp.got") exports, exactly as listed"

# On 32-bit Windows the convention shows in the code: a standard-call
# function removes its arguments ("ret $N", N = 4 x the table's argument
# count), a caller-cleanup one returns with a plain "ret" (or ends in a jump
# to another caller-cleanup function). Every return instruction of every
# export's function body must agree with the table.
if "$objdump" -f "$dll" | grep -q 'pei-i386'; then
    "$objdump" -d --no-show-raw-insn "$dll" > "$tmp.dis"
    grep -v '^#' "$table" | awk 'NF == 4' | awk -v dis="$tmp.dis" '
        { symbol = ($4 == "stdcall") ? "_" $2 "@" 4 * $3 : "_" $2
          want[symbol] = ($4 == "stdcall" && $3 > 0) ? sprintf("ret $0x%x", 4 * $3) : "ret"
          name[symbol] = $1; cdecl[symbol] = ($4 == "cdecl") }
        END {
            bad = 0
            while ((getline line < dis) > 0) {
                if (line ~ /^[0-9a-f]+ <.*>:$/) {
                    current = line; sub(/^[0-9a-f]+ </, "", current); sub(/>:$/, "", current)
                    continue
                }
                if (!(current in want)) continue
                if (line ~ /\tjmp/) jumps[current]++
                if (line !~ /\tret/) continue
                insn = line; sub(/^.*\t/, "", insn); gsub(/ +/, " ", insn)
                seen[current]++
                if (insn != want[current]) {
                    printf "%s: \"%s\", expected \"%s\"\n", name[current], insn, want[current]
                    bad = 1
                }
            }
            for (s in want)
                if (!seen[s] && !(cdecl[s] && jumps[s])) {
                    printf "%s: no return found in %s\n", name[s], s
                    bad = 1
                }
            exit bad
        }' || { echo "calling convention mismatch" >&2; exit 1; }
    echo "every export returns with the stack cleanup of its convention"
fi
