#!/usr/bin/env bash
# The Windows release, cross-built on this Debian machine with mingw-w64 and
# a Qt for Windows built once into a cache (scripts/windows-qt.sh):
#
#   scripts/windows.sh          builds build-windows/ and packs
#                               out/kvr7314-<version>-windows-x64.zip and
#                               its installer, out/kvr7314-<version>-windows-x64.exe
#   scripts/windows.sh --test   and tests it under wine: the plain-code and
#                               run suites through ctest, then the release's
#                               programs against a simulated module on a
#                               pseudo-terminal mapped as COM1
set -euo pipefail
source "$(dirname "$0")/common.sh"

KVR_WINDOWS_PACKAGES=(wine wine64 zip nsis icoutils)
kvr_install_packages "${KVR_WINDOWS_PACKAGES[@]}"

prefix=$("$KVR_ROOT/scripts/windows-qt.sh" | tail -n 1)
version=$(sed -n 's/^project(kvr7314 VERSION \([0-9.]*\).*/\1/p' "$KVR_ROOT/CMakeLists.txt")
build="$KVR_ROOT/build-windows"
release_name="kvr7314-$version-windows-x64"
release="$KVR_ROOT/out/$release_name"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$KVR_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_TOOLCHAIN_FILE=$prefix/mingw-toolchain.cmake" "-DCMAKE_PREFIX_PATH=$prefix" \
    -DQT_HOST_PATH=/usr -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    "-DKVR_WINE_PATH=$prefix/bin" "-DKVR_OFFSCREEN_FONT=$font" >/dev/null
fi
cmake --build "$build"

# The release: the programs, the report module, the DLLs and plugins Qt
# needs, Qt's Dutch translation, the examples and a short read-me.
rm -rf "$release" "$release.zip"
mkdir -p "$release/translations" "$release/examples"
cp "$build/app/kvr7314.exe" "$build/cli/kvr7314-cli.exe" "$build/demo/kvr7314-demo.exe" \
   "$build/fleetwindow/kvr7314-fleet.exe" "$build/cli/kvr7314-report.dll" "$release/"
while read -r kind source target; do
  case $kind in
    app)
      mkdir -p "$release/$(dirname "$target")"
      cp "$source" "$release/$target"
      ;;
  esac
done <"$prefix/deploy-files.txt"
cp /usr/share/qt6/translations/qtbase_nl.qm "$release/translations/"
cp "$KVR_ROOT/examples/flex.kvr" "$KVR_ROOT/examples/pocsag.kvr" "$KVR_ROOT/examples/regio.csv" "$release/examples/"
sed "s/@VERSION@/$version/g" "$KVR_ROOT/packaging/LEESMIJ.txt" | sed 's/$/\r/' >"$release/LEESMIJ.txt"
(cd "$KVR_ROOT/out" && zip -qr9 "$release_name.zip" "$release_name")
echo "release: out/$release_name.zip ($(du -h "$release.zip" | cut -f1))"
# The same as an installer with Start-menu entries.
makensis -V2 "-DVERSION=$version" "-DRELEASE=$release" "-DOUTFILE=$KVR_ROOT/out/$release_name.exe" \
  "$KVR_ROOT/packaging/kvr7314.nsi" >/dev/null
echo "installer: out/$release_name.exe ($(du -h "$KVR_ROOT/out/$release_name.exe" | cut -f1))"

[ "${1:-}" = "--test" ] || exit 0

# A wine of its own, without its add-on installers and its chatter.
export WINEPREFIX=${KVR_WINEPREFIX:-$HOME/.cache/kvr7314/wine}
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi

echo "== the plain-code and run suites under wine"
if ! ctest --test-dir "$build" -j2; then
  for result in "$build"/tests/tst_*.txt; do
    grep -q "FAIL!" "$result" 2>/dev/null && { echo "--- $result"; grep -B2 -A6 "FAIL!" "$result"; }
  done
  exit 1
fi

echo "== the release's programs under wine, COM1 on a pseudo-terminal"
KVR_WINDOWS_RELEASE="$release" KVR_WINDOWS_INSTALLER="$KVR_ROOT/out/$release_name.exe" \
  QT_QPA_PLATFORM=offscreen KVR_SOURCE_DIR="$KVR_ROOT" \
  "$KVR_ROOT/build/tests/tst_wine"
wineserver -k 2>/dev/null || true
