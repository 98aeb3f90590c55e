#!/usr/bin/env bash
# The bash completion in a plain bash (no bash-completion package, no
# startup files): each program's completion loads from its own file and
# offers its commands and options.
#   check-completion.sh BINDIR COMPLETIONS   (COMPLETIONS: a folder holding a
#   file per program, or the one completion file for all of them)
set -euo pipefail
BIN=$(realpath "$1")
SRC=$(realpath "$2")
fail() { echo "check-completion: $*" >&2; exit 1; }

# program, words typed (the last one is being completed), a candidate expected
cases=(
    "termlink|termlink us|users"
    "termlink|termlink --sim t|tft"
    "termlink|termlink file get x --t|--to"
    "termlink-sync|termlink-sync st|status"
    "termlink-sync|termlink-sync run --fo|--follow"
    "termsim|termsim --profile t|tft"
    "termsim|termsim --pun|--punches"
    "qvupdate|qvupdate --ba|--batch"
    "qvpack|qvpack --fi|--firmware"
)
for c in "${cases[@]}"; do
    IFS='|' read -r prog typed want <<<"$c"
    file=$SRC
    [ -d "$SRC" ] && file=$SRC/$prog
    [ -f "$file" ] || fail "no completion file for $prog"
    got=$(env -i PATH="$BIN:/usr/bin:/bin" HOME=/nonexistent LD_LIBRARY_PATH="${LD_LIBRARY_PATH:-}" bash --noprofile --norc -c '
        source "$1" || exit 3
        declare -F _init_completion >/dev/null && exit 4
        registered=$(complete -p "$2") || exit 5
        fn=${registered#*-F }; fn=${fn%% *}
        read -r -a COMP_WORDS <<<"$3"
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        "$fn" "$2" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" || exit 6
        printf "%s\n" "${COMPREPLY[@]}"' _ "$file" "$prog" "$typed") ||
        fail "$prog: completing '$typed' failed (status $?)"
    grep -qx -- "$want" <<<"$got" || fail "$prog: completing '$typed' offers no $want: $got"
done
echo "check-completion: ok"
