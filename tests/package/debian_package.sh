#!/usr/bin/env bash
# Makes the Debian package of the build, unpacks it into a temporary folder
# without installing it, and runs the program from there.
#
#   debian_package.sh BUILD_DIR VERSION
set -u
build=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "$*"; status=1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" > "$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/out/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "cpack made no .deb"; cat "$tmp/cpack.log"; exit 1; }

[ "$(dpkg-deb -f "$deb" Package)" = zuvdigi ] || fail "package name: $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version: $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libedit2; do
  grep -q "$lib" <<< "$depends" || fail "Depends does not name $lib: $depends"
done

dpkg-deb -x "$deb" "$tmp/root"
for f in usr/bin/zuvdigi usr/bin/zuvsim usr/share/man/man1/zuvdigi.1 usr/share/doc/zuvdigi/examples/station.cfg; do
  [ -f "$tmp/root/$f" ] || fail "not in the package: $f"
done
got=$("$tmp/root/usr/bin/zuvdigi" --version < /dev/null) || fail "the packaged zuvdigi --version failed"
[ "${got%%$'\n'*}" = "zuvdigi $version" ] || fail "the packaged zuvdigi --version said: $got"
printf 'x\n' | "$tmp/root/usr/bin/zuvdigi" > "$tmp/console" || fail "the packaged console did not end with status 0"
grep -q '^Command> ' "$tmp/console" || fail "the packaged console showed no prompt"
[ $status = 0 ] && echo "the Debian package holds both programs, its dependencies are declared, and it runs unpacked"
exit $status
