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
"$scratch/usr/bin/kvr7314-cli" test-call 5 "PAKKET TEST" --sim
"$scratch/usr/bin/kvr7314-cli" report "$scratch/usr/share/doc/kvr7314/examples/flex.kvr" -o "$scratch/report.pdf" >/dev/null
head -c 5 "$scratch/report.pdf" | grep -q '%PDF-' || { echo "the unpacked report module made no PDF"; exit 1; }
for page in kvr7314 kvr7314-cli kvr7314-demo; do
  [ -s "$scratch/usr/share/man/man1/$page.1.gz" ] || { echo "no man page for $page"; exit 1; }
done
echo "package checks passed"
