#!/usr/bin/env bash
# Opens a generated exception page in headless Chromium and checks that the
# browser builds its table with the expected number of rows and decodes the
# GB2312 text. Usage: render_check.sh SAMPLE_PAGE_PROGRAM
set -euo pipefail
program=$1
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
    echo "render_check: chromium is not installed (Debian package 'chromium'; ./run installs it)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$program" 2 "$work/page.htm"
# Nothing but the local file is opened; the profile is fresh and thrown away.
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
    --no-first-run --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --dump-dom "file://$work/page.htm" \
    > "$work/dom.html" 2> "$work/browser.log" || {
    echo "render_check: chromium failed" >&2
    tail -n 20 "$work/browser.log" >&2
    exit 1
}
rows=$(grep -o '<tr>' "$work/dom.html" | wc -l)
tables=$(grep -o '<table' "$work/dom.html" | wc -l)
echo "render_check: $tables table(s), $rows row(s)"
# Two header rows and one row per scheduled shift occurrence (8).
[ "$tables" -eq 1 ] || { echo "render_check: expected 1 table" >&2; exit 1; }
[ "$rows" -eq 10 ] || { echo "render_check: expected 10 rows" >&2; exit 1; }
grep -q '旷工' "$work/dom.html" || { echo "render_check: GB2312 text not decoded" >&2; exit 1; }
echo "render_check: ok"
