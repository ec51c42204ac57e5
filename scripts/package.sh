#!/usr/bin/env bash
# Makes the Debian package from the build in build/ into out/:
#   scripts/package.sh           the package: out/kvr7314_<version>-1_amd64.deb
#   scripts/package.sh --check   and checks it: lintian without errors, the
#                                menu entries and metainfo valid, and the
#                                programs of the unpacked package working
set -euo pipefail
source "$(dirname "$0")/common.sh"

build="$KVR_ROOT/build"
out="$KVR_ROOT/out"
mkdir -p "$out"
rm -f "$out"/kvr7314_*.deb
log=$(mktemp)
(cd "$build" && cpack -G DEB >"$log" 2>&1) || { cat "$log"; rm -f "$log"; exit 1; }
rm -f "$log"
deb=$(ls "$out"/kvr7314_*.deb)
echo "package: ${deb#"$KVR_ROOT"/}"

[ "${1:-}" = "--check" ] || exit 0

echo "lintian (errors fail the check; warnings are listed):"
status=0
report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
grep -v "running with root privileges" <<<"$report" | sed 's/^/  /' || true
[ "$status" -eq 0 ] || { echo "lintian found errors"; exit 1; }
desktop-file-validate "$KVR_ROOT"/packaging/*.desktop
appstreamcli validate --no-net "$build"/packaging/*.metainfo.xml | sed 's/^/  /'

# The programs as the package has them, unpacked into a scratch folder.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
# The checks' log and backups stay in the scratch folder.
export KVR7314_DATA_DIR="$scratch/data"
"$scratch/usr/bin/kvr7314-cli" --version
"$scratch/usr/bin/kvr7314" --version
"$scratch/usr/bin/kvr7314-fleet" --version
QT_QPA_PLATFORM=offscreen "$scratch/usr/bin/kvr7314-fleet" --demo --picture "$scratch/fleet.png" ||
  { echo "the unpacked kvr7314-fleet did not check its demonstration"; exit 1; }
"$scratch/usr/bin/kvr7314-cli" test-call 5 "PAKKET TEST" --sim
"$scratch/usr/bin/kvr7314-cli" report "$scratch/usr/share/doc/kvr7314/examples/flex.kvr" -o "$scratch/report.pdf" >/dev/null
head -c 5 "$scratch/report.pdf" | grep -q '%PDF-' || { echo "the unpacked report module made no PDF"; exit 1; }
# A .kvr file is of the package's file type, and the tool opens it.
XDG_DATA_DIRS="$scratch/usr/share" update-mime-database "$scratch/usr/share/mime"
update-desktop-database "$scratch/usr/share/applications"
desktop_query() {
  XDG_DATA_DIRS="$scratch/usr/share" XDG_DATA_HOME="$scratch/none" XDG_CONFIG_HOME="$scratch/none" \
    XDG_CURRENT_DESKTOP= xdg-mime query "$@"
}
type=$(desktop_query filetype "$KVR_ROOT/examples/flex.kvr")
cp "$KVR_ROOT/examples/flex.kvr" "$scratch/zonder-extensie"
type_by_content=$(desktop_query filetype "$scratch/zonder-extensie")
default=$(desktop_query default application/x-kvr7314)
echo "file type of a .kvr file: $type (by its first line: $type_by_content), opened by $default"
[ "$type" = application/x-kvr7314 ] && [ "$type_by_content" = application/x-kvr7314 ] \
  || { echo "the package's file type does not name .kvr files"; exit 1; }
[ "$default" = nl.velto.kvr7314.desktop ] || { echo "the tool does not open .kvr files"; exit 1; }

# The example units of a nightly plan, as systemd reads them; the program
# they start is the unpacked package's. systemd only warns of a key it
# does not know, so any word from it fails the check.
kvr_install_packages systemd
mkdir "$scratch/units"
for unit in "$scratch"/usr/share/doc/kvr7314/examples/*.service "$scratch"/usr/share/doc/kvr7314/examples/*.timer; do
  sed "s|/usr/bin/kvr7314-cli|$scratch/usr/bin/kvr7314-cli|g" "$unit" >"$scratch/units/${unit##*/}"
done
report=$(systemd-analyze verify --man=no "$scratch"/units/* 2>&1) || true
[ -z "$report" ] || { echo "systemd-analyze verify of the example units:"; echo "$report"; exit 1; }
echo "the example units of a nightly plan pass systemd-analyze verify"

for page in kvr7314 kvr7314-cli kvr7314-demo kvr7314-fleet; do
  [ -s "$scratch/usr/share/man/man1/$page.1.gz" ] || { echo "no man page for $page"; exit 1; }
done
echo "package checks passed"
