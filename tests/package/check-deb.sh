#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks its control data and
# file list, unpacks it with dpkg -x and checks the unpacked tree like an
# installed one (programs built against it, the tool and termsim run from it).
#   check-deb.sh BUILD WORK
set -euo pipefail
BUILD=$(realpath "$1")
WORK=$(realpath -m "$2")
HERE=$(cd "$(dirname "$0")" && pwd)
fail() { echo "check-deb: $*" >&2; exit 1; }

rm -rf "$WORK" && mkdir -p "$WORK"
(cd "$BUILD" && cpack --config CPackConfig.cmake -B "$WORK/out" > "$WORK/cpack.log") ||
    { cat "$WORK/cpack.log"; fail "cpack failed"; }
DEB=$(ls "$WORK"/out/*.deb)

dpkg-deb -f "$DEB" Package | grep -qx termlink || fail "package name"
dpkg-deb -f "$DEB" Recommends | grep -qw bash-completion || fail "Recommends lacks bash-completion"
depends=$(dpkg-deb -f "$DEB" Depends)
echo "$depends" | grep -q 'libc6' || fail "Depends lacks libc6: $depends"
echo "$depends" | grep -q 'libssl\|libcrypto' || fail "Depends lacks OpenSSL: $depends"
dpkg-deb -c "$DEB" | awk '{print $6}' | sed 's|^\./|/|' > "$WORK/files"
for pattern in '^/usr/lib/(.*/)?libtermlink\.so\.0\.[0-9.]*$' '^/usr/lib/(.*/)?portmux/libtcpwire\.so$' \
               '^/usr/include/termlink\.h$' '^/usr/bin/termlink$' '^/usr/bin/qvupdate$' \
               '^/usr/share/man/man3/termlink\.3' '^/usr/lib/(.*/)?pkgconfig/termlink\.pc$' \
               '^/usr/lib/systemd/system/termlink-sync\.service$' '^/etc/termlink-sync/fleet$' \
               '^/etc/termlink-sync/termlink-sync\.conf$'; do
    grep -Eq "$pattern" "$WORK/files" || fail "no file matching $pattern in the package"
done
# Nothing but the install layout (no build or source paths) and the sync
# service's settings.
if grep -Ev '^/usr/(bin|include|lib|share)(/|$)|^/usr/?$|^/$|^/etc/(termlink-sync/.*)?$' "$WORK/files"; then
    fail "files outside the install layout"
fi
dpkg-deb --ctrl-tarfile "$DEB" | tar -t | grep -q shlibs || fail "no shlibs control file"
# The sync service: its settings are conffiles, its user comes from postinst.
dpkg-deb --ctrl-tarfile "$DEB" | tar -xO ./conffiles | grep -qx /etc/termlink-sync/termlink-sync.conf ||
    fail "the sync service's settings are not a conffile"
dpkg-deb --ctrl-tarfile "$DEB" | tar -xO ./postinst | grep -q 'adduser --system' ||
    fail "postinst does not create the sync service's user"
echo "$depends" | grep -q 'adduser' || fail "Depends lacks adduser: $depends"
dpkg-deb -c "$DEB" > "$WORK/listing"
grep -q -- '^-rw-r----- .*/etc/termlink-sync/termlink-sync.conf$' "$WORK/listing" ||
    fail "the sync service's settings are readable by everyone"

dpkg -x "$DEB" "$WORK/root"
"$HERE/check-tree.sh" "$WORK/root" "$WORK/tree"
