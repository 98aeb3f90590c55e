#!/usr/bin/env bash
# Checks an installed termlink tree (a DESTDIR or an unpacked Debian package)
# and builds programs against it, never against the build tree:
#   check-tree.sh ROOT WORK [--full]
# ROOT holds usr/...; WORK is a scratch folder. Always: the file layout,
# run paths and SONAMEs, CMake consumers (find_package: termlink::termlink
# reading the log of the installed termsim, termlink::portmux opening a
# transport) and a pkg-config consumer reading the log. With --full also the
# manual pages and the Python binding (pip-installed into a venv).
set -euo pipefail
ROOT=$(realpath "$1")
WORK=$2
FULL=${3:-}
SRC=$(cd "$(dirname "$0")/../.." && pwd)
PYTHON=${PYTHON:-/usr/bin/python3}
mkdir -p "$WORK"
WORK=$(realpath "$WORK")

fail() { echo "check-tree: $*" >&2; exit 1; }

PREFIX=$ROOT/usr
SONAME_LINK=$(find "$PREFIX" -name libtermlink.so.0 | head -n1)
[ -n "$SONAME_LINK" ] || fail "no libtermlink.so.0 under $PREFIX"
LIBDIR=$(dirname "$SONAME_LINK")

# ---- layout ------------------------------------------------------------------
expect=(
    "$LIBDIR/libtermlink.so" "$LIBDIR/libportmux.so" "$LIBDIR/libarchlib.so"
    "$LIBDIR/portmux/libnetwire.so" "$LIBDIR/portmux/libtcpwire.so"
    "$LIBDIR/portmux/libserwire.so" "$LIBDIR/portmux/libusbwire.so"
    "$LIBDIR/cmake/termlink/termlinkConfig.cmake"
    "$LIBDIR/cmake/termlink/termlinkConfigVersion.cmake"
    "$LIBDIR/pkgconfig/termlink.pc"
    "$PREFIX/include/termlink.h" "$PREFIX/include/termlink/base.h"
    "$PREFIX/include/portmux/portmux.h"
    "$PREFIX/bin/termlink" "$PREFIX/bin/termsim" "$PREFIX/bin/qvupdate" "$PREFIX/bin/qvpack"
    "$PREFIX/bin/termlink-sync" "$PREFIX/share/man/man1/termlink-sync.1"
    "$PREFIX/share/man/man1/termlink.1" "$PREFIX/share/man/man1/termsim.1"
    "$PREFIX/share/man/man1/qvupdate.1" "$PREFIX/share/man/man1/qvpack.1"
    "$PREFIX/share/man/man3/termlink.3"
    "$PREFIX/share/bash-completion/completions/termlink"
    "$PREFIX/share/bash-completion/completions/termlink-sync"
    "$PREFIX/share/bash-completion/completions/termsim"
    "$PREFIX/share/bash-completion/completions/qvupdate"
    "$PREFIX/share/bash-completion/completions/qvpack"
)
for f in "${expect[@]}"; do [ -e "$f" ] || fail "missing ${f#"$ROOT"}"; done
# Every public header of the source tree is installed.
for h in "$SRC"/termlink/include/termlink/*.h; do
    [ -e "$PREFIX/include/termlink/$(basename "$h")" ] || fail "header $(basename "$h") not installed"
done
[ "$(readlink "$LIBDIR/libtermlink.so")" = libtermlink.so.0 ] || fail "libtermlink.so must link to libtermlink.so.0"
readelf -d "$SONAME_LINK" | grep -q 'SONAME.*\[libtermlink\.so\.0\]' || fail "libtermlink SONAME is not libtermlink.so.0"
readelf -d "$SONAME_LINK" | grep -q 'NEEDED.*\[libportmux\.so\]' || fail "libtermlink does not need libportmux.so"
while IFS= read -r f; do
    if readelf -h "$f" >/dev/null 2>&1 && readelf -d "$f" 2>/dev/null | grep -Eq '\((RPATH|RUNPATH)\)'; then
        fail "${f#"$ROOT"} carries a run path: $(readelf -d "$f" | grep -E 'RPATH|RUNPATH')"
    fi
done < <(find "$PREFIX" -type f \( -path '*/bin/*' -o -name '*.so*' \))

# ---- consumers against the installed termsim -----------------------------------
export LD_LIBRARY_PATH=$LIBDIR
"$(dirname "$0")/check-completion.sh" "$PREFIX/bin" "$PREFIX/share/bash-completion/completions" \
    >/dev/null || fail "bash completion of the installed programs"
unset PORTMUX_PLUGIN_DIR  # the plug-ins must be found from libportmux itself
"$PREFIX/bin/termsim" --port 0 --users 5 --punches 40 --seed 3 > "$WORK/termsim.out" < /dev/null &
SIM=$!
trap 'kill $SIM 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q ' port ' "$WORK/termsim.out" 2>/dev/null && break; sleep 0.1; done
PORT=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$WORK/termsim.out" | head -n1)
[ -n "$PORT" ] || fail "termsim did not start"

cmake -S "$SRC/tests/package/consumer" -B "$WORK/cmake-consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_BUILD_TYPE=Release > "$WORK/cmake-consumer.log" ||
    { cat "$WORK/cmake-consumer.log"; fail "CMake consumer: configure failed"; }
cmake --build "$WORK/cmake-consumer" > "$WORK/cmake-consumer-build.log" ||
    { cat "$WORK/cmake-consumer-build.log"; fail "CMake consumer: build failed"; }
grep -q -- "-I$PREFIX/include\|-isystem $PREFIX/include" "$WORK/cmake-consumer/build.ninja" ||
    fail "CMake consumer does not use the installed headers"
"$WORK/cmake-consumer/consumer" "$PORT" || fail "CMake consumer could not read the log"
"$WORK/cmake-consumer/pmx_consumer" "$PORT" || fail "termlink::portmux consumer could not connect"

export PKG_CONFIG_PATH=$LIBDIR/pkgconfig
# The staged libportmux is not in the linker's default folders: rpath-link.
cc -Wall -Werror -o "$WORK/pc-consumer" "$SRC/tests/package/consumer/main.c" \
    $(pkg-config --cflags --libs termlink) -Wl,-rpath-link,"$LIBDIR" ||
    fail "pkg-config consumer: build failed"
[ "$(pkg-config --modversion termlink)" = "$(sed -n 's/^Version: //p' "$LIBDIR/pkgconfig/termlink.pc")" ]
"$WORK/pc-consumer" "$PORT" || fail "pkg-config consumer could not read the log"

# The installed tool finds the installed plug-ins (libdir/portmux) by itself.
"$PREFIX/bin/termlink" --tcp "127.0.0.1:$PORT" --quiet --csv logs > "$WORK/logs.csv" ||
    fail "installed termlink tool could not read the log"
[ "$FULL" = --full ] || { echo "check-tree: $ROOT ok"; exit 0; }

# ---- manual pages --------------------------------------------------------------
for page in "$PREFIX"/share/man/man*/*; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
commands=$("$PREFIX/bin/termlink" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p')
[ -n "$commands" ] || fail "no commands in termlink --help"
sections=$(sed -n 's/^\.SS \([^ ]*\).*/\1/p' "$PREFIX/share/man/man1/termlink.1" | sed 's/\\-/-/g')
for c in $commands; do
    grep -qx -- "$c" <<<"$sections" || fail "termlink(1) has no section for '$c'"
done

# ---- Python binding ------------------------------------------------------------
# Debian's pip from the system site-packages installs into the venv.
rm -rf "$WORK/venv"
"$PYTHON" -m venv --without-pip --system-site-packages "$WORK/venv"
# From a copy: building writes into the project folder.
rm -rf "$WORK/python-src" && cp -r "$SRC/python" "$WORK/python-src"
"$WORK/venv/bin/python" -m pip install --quiet --no-build-isolation --no-index "$WORK/python-src" \
    > "$WORK/pip.log" 2>&1 || { cat "$WORK/pip.log"; fail "pip install ./python failed"; }
(cd "$WORK" && TERMLINK_LIBRARY="$SONAME_LINK" TERMSIM="$PREFIX/bin/termsim" \
    "$WORK/venv/bin/python" -m pytest -q -p no:cacheprovider "$SRC/python/tests") ||
    fail "Python binding tests failed"
echo "check-tree: $ROOT ok (full)"
