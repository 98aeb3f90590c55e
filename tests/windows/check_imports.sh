#!/bin/sh
# The shipped DLLs and programs must run from a plain copy: they may import
# only Windows' own DLLs and each other, never the compiler's runtime
# (libstdc++-6.dll, libgcc_s_*.dll, libwinpthread-1.dll) or zlib1.dll.
#   check_imports.sh OBJDUMP BINDIR
set -eu
objdump=$1 dir=$2
ours=$(cd "$dir" && ls *.dll | tr 'A-Z' 'a-z')
bad=0 count=0
for f in "$dir"/*.dll "$dir"/*.exe; do
    count=$((count + 1))
    for dll in $("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
        case "$dll" in
            kernel32.dll | msvcrt.dll | ws2_32.dll | bcrypt.dll | advapi32.dll | user32.dll | gdi32.dll \
                | comdlg32.dll) continue ;;
        esac
        if echo "$ours" | grep -qx "$dll"; then continue; fi
        echo "$(basename "$f") imports $dll, which is not shipped with it" >&2
        bad=1
    done
done
[ "$count" -gt 0 ] || { echo "no binaries in $dir" >&2; exit 1; }
[ "$bad" -eq 0 ] || exit 1
echo "$count binaries import only Windows DLLs and each other"
