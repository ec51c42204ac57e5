#!/usr/bin/env bash
# Installs what is missing, builds, and then:
#   ./run.sh              with a display: the demo window (the tool on a simulated module);
#                         without one: a demonstration of kvr7314-cli against a simulated module
#   ./run.sh --demo       the demo window
#   ./run.sh --fleet      the fleet window on a demonstration list of simulated modules
#   ./run.sh --headless   the command-line demonstration, even with a display
#   ./run.sh --tool ...   the configuration tool itself, for a real module on COM 1..4
#   ./run.sh --package    the Debian package, into out/
#   ./run.sh --windows    the Windows release (zip), into out/
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
kvr_install_packages

has_display() {
  [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]
}

need_display() {
  if ! has_display; then
    echo "kvr7314: no display found; to run the window without one, use: xvfb-run -a ./run.sh $1" >&2
    exit 1
  fi
}

# Only what is run is built: the window, the demo, or the command line with
# its report module. ./test.sh builds the rest.
build_window() { kvr_build_targets build kvr7314; }
build_demo() { kvr_build_targets build kvr7314-demo; }
build_cli() { kvr_build_targets build kvr7314-cli kvr7314-report; }

headless_demo() {
  build_cli
  local cli="$KVR_ROOT/build/cli/kvr7314-cli"
  local out="$KVR_ROOT/out"
  local example="$KVR_ROOT/examples/flex.kvr"
  mkdir -p "$out"
  rm -f "$out"/sim-frames.log "$out"/write-trace.txt "$out"/read-back.kvr "$out"/read-back.pdf "$out"/data-diff.txt
  # The demonstration's log and backups go into out/, not among a real
  # technician's records.
  rm -rf "$out/data"
  export KVR7314_DATA_DIR="$out/data"

  echo
  echo "No display: a demonstration of kvr7314-cli against a simulated KVR7314."
  echo "(The window needs a display: xvfb-run -a ./run.sh --demo; kvr7314-cli --help for the rest.)"

  # One simulated module for every step, so the read gives back what the
  # write put in. Its first line is its device; it logs every frame it takes.
  "$cli" sim >"$out/sim-frames.log" 2>/dev/null &
  local sim_pid=$!
  trap "kill $sim_pid 2>/dev/null || true; wait $sim_pid 2>/dev/null || true" EXIT
  local tries=0
  until [ -s "$out/sim-frames.log" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
      echo "kvr7314: the simulated module did not start" >&2
      exit 1
    fi
    sleep 0.1
  done
  local dev
  dev=$(head -n 1 "$out/sim-frames.log")

  echo
  echo "== 1. Write examples/flex.kvr into the module (26 steps, 300 ms apart), read it back and verify"
  "$cli" write "$example" --port "$dev" --verify --trace "$out/write-trace.txt"

  echo
  echo "== 2. Read the module into a new file"
  "$cli" read --port "$dev" -o "$out/read-back.kvr"

  echo
  echo "== 3. Compare the two files"
  echo "The module keeps each timer as the four characters the programming step carried"
  echo "(\"10\" becomes \"0010\"), so these values differ:"
  "$cli" diff "$example" "$out/read-back.kvr" >"$out/data-diff.txt" || true
  sed 's/^/    /' "$out/data-diff.txt"
  echo "Compared as a module holds them (what write --verify allows for):"
  "$cli" diff "$example" "$out/read-back.kvr" --as-module

  echo
  echo "== 4. Print the file read back as a report"
  "$cli" report "$out/read-back.kvr" -o "$out/read-back.pdf"

  echo
  echo "== 5. A test call and the no-network notice"
  "$cli" test-call 5 "BRAND Kerkstraat 12" --port "$dev"
  "$cli" no-network --port "$dev"

  echo
  echo "== 6. What the tool kept: the log of operations, newest first, and the backups"
  "$cli" history
  "$cli" history --backups

  sleep 0.3
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  trap - EXIT

  echo
  echo "Results in $out/ :"
  echo "  read-back.kvr      the settings read from the module"
  echo "  read-back.pdf      their printed report"
  echo "  write-trace.txt    every byte of the write and the verifying read, with its time"
  echo "  sim-frames.log     every frame the simulated module took"
  echo "  data-diff.txt      the values in which examples/flex.kvr and read-back.kvr differ"
  echo "  data/              the log of operations and a backup of every read and write"
}

case "${1:-}" in
  --tool)
    shift
    need_display "--tool"
    build_window
    exec "$KVR_ROOT/build/app/kvr7314" "$@"
    ;;
  --demo)
    shift
    need_display "--demo"
    build_demo
    exec "$KVR_ROOT/build/demo/kvr7314-demo" "$@"
    ;;
  --fleet)
    shift
    need_display "--fleet"
    kvr_build_targets build kvr7314-fleet
    exec "$KVR_ROOT/build/fleetwindow/kvr7314-fleet" --demo "$@"
    ;;
  --headless)
    headless_demo
    ;;
  --package)
    kvr_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    "$KVR_ROOT/scripts/package.sh"
    echo "install it with: sudo apt install ./out/kvr7314_*.deb"
    ;;
  --windows)
    "$KVR_ROOT/scripts/windows.sh"
    ;;
  "")
    if has_display; then
      build_demo
      exec "$KVR_ROOT/build/demo/kvr7314-demo"
    fi
    headless_demo
    ;;
  *)
    echo "usage: ./run.sh [--demo | --fleet | --headless | --tool [ARGS...] | --package | --windows]" >&2
    exit 2
    ;;
esac
