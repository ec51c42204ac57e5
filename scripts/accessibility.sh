#!/usr/bin/env bash
# The window as a screen reader and a keyboard user meet it: kvr7314 and
# kvr7314-demo on Xvfb with a window manager and the AT-SPI bus, walked by
# tests/accessibility/walk_window.py (names, Tab order, Enter and Space).
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
# Without a window manager no window gets the keyboard focus.
openbox >/dev/null 2>&1 &
pids+=($!)

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 KVR7314_DATA_DIR="$scratch/data"
status=0
for which in window demo; do
  program=$build/app/kvr7314
  [ "$which" = demo ] && program=$build/demo/kvr7314-demo
  "$program" >"$scratch/$which.log" 2>&1 &
  pid=$!
  if ! /usr/bin/python3 "$KVR_ROOT/tests/accessibility/walk_window.py" "$which"; then
    status=1
    echo "-- what $which said:"
    cat "$scratch/$which.log"
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
exit $status
