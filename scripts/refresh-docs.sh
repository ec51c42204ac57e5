#!/usr/bin/env bash
# Regenerates the README's pictures (docs/*.png) and the sample settings
# files (examples/*.kvr) with the programs themselves, so they always show
# what the current code draws and writes. Offscreen: no display needed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
kvr_install_packages
kvr_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

build="$KVR_ROOT/build"
docs="$KVR_ROOT/docs"
examples="$KVR_ROOT/examples"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export QT_QPA_PLATFORM=offscreen
# What the pictures' calls leave in a data folder stays in the scratch folder.
export KVR7314_DATA_DIR="$scratch/data"

"$build/tools/kvr7314-screenshot" "$docs"
"$build/demo/kvr7314-demo" --picture "$docs/demo-window.png"
"$build/fleetwindow/kvr7314-fleet" --demo --picture "$docs/fleet-window.png"

"$build/tools/kvr7314-example" flex "$examples/flex.kvr"
"$build/tools/kvr7314-example" pocsag "$examples/pocsag.kvr"

# The report page at 70 dots per inch: an A4 page the width of the README.
"$build/tools/kvr7314-example" report "$scratch/report.pdf"
pdftoppm -png -r 70 -singlefile "$scratch/report.pdf" "$scratch/report"
mv "$scratch/report.png" "$docs/report.png"

echo "refreshed: docs/*.png, examples/*.kvr"
