#!/usr/bin/env bash
# Makes the zip of the Windows cross build and checks what it holds.
#
#   windows_zip.sh WIN_BUILD_DIR VERSION
set -u
build=$1 version=$2
if [ ! -f "$build/CPackConfig.cmake" ]; then
  echo "skipped: no Windows cross build in $build (it comes with the Wine suites)"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cpack --config "$build/CPackConfig.cmake" -G ZIP -B "$tmp/out" > "$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; exit 1; }
zip=$tmp/out/zuvdigi-$version-windows-x64.zip
[ -f "$zip" ] || { echo "cpack made no $zip"; ls "$tmp/out"; exit 1; }
want="zuvdigi-$version-windows-x64/README.txt
zuvdigi-$version-windows-x64/examples/filters.rules
zuvdigi-$version-windows-x64/examples/station.cfg
zuvdigi-$version-windows-x64/zuvdigi.exe"
got=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))))' "$zip")
if [ "$got" != "$want" ]; then
  echo "the zip holds (- expected, + actual):"; diff <(echo "$want") <(echo "$got"); exit 1
fi
echo "the Windows zip holds zuvdigi.exe, the samples and the README:"
echo "$got"
