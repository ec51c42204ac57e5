#!/usr/bin/env bash
# The windows as a screen reader and a keyboard user meet them: kvr7314,
# kvr7314-demo and kvr7314-fleet on Xvfb with a window manager and the
# AT-SPI bus, walked by tests/accessibility/walk_window.py (names, Tab
# order, Enter and Space; the fleet window's rows, a check and an update
# on four simulated modules).
#   scripts/accessibility.sh [BUILD]   (default build/)
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=${1:-$KVR_ROOT/build}

if [ "${KVR_IN_SESSION:-}" != 1 ]; then
  # A D-Bus session of its own, so the accessibility bus is this run's.
  KVR_IN_SESSION=1 exec dbus-run-session -- "$0" "$@" 2> >(grep -v "Failed to set fd limit" >&2)
fi

scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Xvfb picks a free display and names it once it takes connections;
# -noreset keeps it from restarting each time its last client leaves,
# which would turn away a program that connects at that moment.
Xvfb -displayfd 3 -noreset -screen 0 1600x1200x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$scratch/display")
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
# Without a window manager no window gets the keyboard focus, nor does one
# mapped before it manages the screen: the windows wait until it says
# which desktop is current.
openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xdotool get_desktop >/dev/null 2>&1 && break; sleep 0.1; done
xdotool get_desktop >/dev/null 2>&1 || { echo "the window manager did not start"; exit 1; }

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 KVR7314_DATA_DIR="$scratch/data"
cli=$build/cli/kvr7314-cli

# The fleet window's four modules, each a simulated module on a
# pseudo-terminal whose frame listing the walk reads: two hold their file,
# one differs, one is silent. A fifth, written by kvr7314-cli, shows what
# the file's 26 frames look like.
fleet_modules() {
  local name dev
  cp "$KVR_ROOT/examples/flex.kvr" "$scratch/regio.kvr"
  sed 's/Duikteam/Duikploeg/' "$KVR_ROOT/examples/flex.kvr" >"$scratch/anders.kvr"
  printf 'naam;poort;bestand\n' >"$scratch/regio.csv"
  for name in noord zuid west duin referentie; do
    case $name in
      west) set -- --holds "$scratch/anders.kvr" ;;
      duin) set -- --no-answer ;;
      referentie) set -- ;;
      *) set -- --holds "$scratch/regio.kvr" ;;
    esac
    kvr_start_sim "$cli" "$scratch/$name.sim" "$@" ||
      { echo "the simulated module $name did not start"; cat "$scratch/$name.sim-err"; exit 1; }
    [ "$name" = referentie ] || printf 'Post %s;%s;regio.kvr\n' "$name" "$dev" >>"$scratch/regio.csv"
  done
  "$cli" write "$scratch/regio.kvr" --port "$(head -n1 "$scratch/referentie.sim")" >/dev/null
}

status=0
for which in window demo fleet; do
  program=$build/app/kvr7314
  arguments=()
  [ "$which" = demo ] && program=$build/demo/kvr7314-demo
  if [ "$which" = fleet ]; then
    fleet_modules
    program=$build/fleetwindow/kvr7314-fleet
    arguments=("$scratch/regio.csv")
  fi
  "$program" "${arguments[@]}" >"$scratch/$which.log" 2>&1 &
  pid=$!
  if ! /usr/bin/python3 "$KVR_ROOT/tests/accessibility/walk_window.py" "$which" "$scratch"; then
    status=1
    echo "-- what $which said:"
    cat "$scratch/$which.log"
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
exit $status
