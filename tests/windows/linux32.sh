#!/usr/bin/env bash
# The shipped Windows build is 32-bit; this runs our code at its sizes
# (4-byte pointers, size_t and long). The library, portmux with its plug-ins,
# archlib, the tool and the unit tests are built for 32-bit x86 Linux
# (cmake/linux-i686.cmake, build dir build-linux32) and run under qemu's
# user-mode emulator, named explicitly since binfmt handlers are usually not
# registered. Then the 32-bit tool downloads logs and users from the native
# simulated terminal over TCP and datagrams and must print the same CSV as the
# native tool.
#   linux32.sh NATIVE_BUILD [LINUX32_BUILD]
# NATIVE_BUILD must hold bin/termsim and bin/termlink. Needs the packages
# qemu-user-static and g++-i686-linux-gnu; installs (as root) the i386
# libraries it links: libcrypto, zlib and the C++ run time.
set -euo pipefail
source "$(dirname "$0")/sim_port.sh"
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "$1" && pwd)
build=${2:-$root/build-linux32}
qemu=${TL_QEMU:-qemu-i386-static}
start=$SECONDS

I386_PACKAGES=(libssl-dev:i386 zlib1g-dev:i386 libstdc++6:i386)
missing=()
for p in "${I386_PACKAGES[@]}"; do dpkg -s "$p" > /dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "linux32: missing ${missing[*]}: dpkg --add-architecture i386 and install them" >&2
        exit 1
    fi
    echo "linux32: installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq -o DPkg::Lock::Timeout=600
    apt-get install -y -qq -o DPkg::Lock::Timeout=600 "${missing[@]}" > /dev/null
fi

# GoogleTest from Debian's sources, built once with the 32-bit compiler.
toolchain=$root/cmake/linux-i686.cmake
if [ ! -f "$build/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$build/googletest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$build/gtest" \
        -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON > /dev/null
    cmake --build "$build/googletest" --target install > /dev/null
fi
# Only what runs here: no simulator (the native one serves), no fleet sync,
# no benchmarks.
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$build/gtest" \
        -DTL_QEMU="$qemu" -DTL_BENCH=OFF -DTL_SYNC=OFF -DTL_TERMSIM=OFF > /dev/null
fi
cmake --build "$build" --target termlink tcpwire netwire archlib termlink_tool \
    termlink_unit portmux_unit archlib_test
built=$((SECONDS - start))

# The unit tests, each program whole in one emulator (one process per case
# would start the emulator hundreds of times).
passed=0 failed=0
unit() {  # program [environment...]
    local program=$1; shift
    if env "$@" "$qemu" "$build/bin/$program" --gtest_brief=1 > "$build/$program.log" 2>&1; then
        passed=$((passed + 1))
        echo "ok   $program under $qemu ($(grep -o '[0-9]* tests\?' "$build/$program.log" | tail -1))"
    else
        failed=$((failed + 1)); echo "FAIL $program under $qemu"; tail -40 "$build/$program.log"
    fi
}
unit termlink_unit LD_LIBRARY_PATH="$build/fakepmx"
unit portmux_unit
unit archlib_test

# End to end: the 32-bit tool against the native simulated terminal. 40-byte
# records (text-ID terminal): 209,000 punches fill the 8 MiB download buffer
# to within 28 KiB.
work=$(mktemp -d)
sim_pid=
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2> /dev/null || true
        wait "$sim_pid" 2> /dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
"$native/bin/termsim" --port 0 --profile tft --users 300 --punches 209000 --seed 7 --ptys 0 \
    > "$work/sim.out" 2>&1 < /dev/null &
sim_pid=$!
port=$(sim_port "$work/sim.out")
[ -n "$port" ] || { echo "termsim did not start:"; cat "$work/sim.out"; exit 1; }
for kind in tcp net; do
    for what in logs users; do
        "$native/bin/termlink" --$kind "127.0.0.1:$port" --csv $what > "$work/native.csv"
        "$qemu" "$build/bin/termlink" --$kind "127.0.0.1:$port" --csv $what \
            > "$work/i686.csv" 2> "$work/i686.err" || true
        if cmp -s "$work/native.csv" "$work/i686.csv"; then
            passed=$((passed + 1))
            echo "ok   $what over $kind ($(wc -l < "$work/native.csv") lines, 32-bit tool)"
        else
            failed=$((failed + 1)); echo "FAIL $what over $kind (32-bit tool)"
            head -5 "$work/i686.err"; diff "$work/native.csv" "$work/i686.csv" | head -5 || true
        fi
    done
done

echo "linux32: $passed passed, $failed failed; built in $built s, ran in $((SECONDS - start - built)) s"
[ "$failed" -eq 0 ]
