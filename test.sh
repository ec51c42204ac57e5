#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite: once as it is,
# against real device servers on loopback (ser2net, sredird), with the
# Debian package checked and the window walked as a screen reader
# and a keyboard user meet it, and the tool run in a virtual machine on the
# kernel's own serial drivers; once more under AddressSanitizer and
# UndefinedBehaviorSanitizer; the fuzz targets for a bounded time; and last
# the Windows release, cross-built and tested under wine (Qt for Windows is
# built once into ~/.cache/kvr7314: half an hour of two cores, overlapped
# with the other stages).
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
kvr_install_packages
export QT_QPA_PLATFORM=offscreen

# The record of the user who runs the tests: the tool's data folder when
# nothing else names one. Every test, stage and benchmark keeps its log and
# backups in a folder of its own; at the end this one must be as it was.
user_record=${KVR7314_DATA_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/kvr7314}
record_state() {
  [ -d "$user_record" ] || return 0
  find "$user_record" -printf '%P %y %s %T@\n' | sort
}
record_before=$(record_state)

# Qt for Windows, needed only by the last stage, takes the longest to build
# (once, into the cache). It builds alongside the stages before it at the
# lowest priority, so it takes the time they leave idle rather than add
# its own; the last stage waits for it.
qt_builder=
if ! "$KVR_ROOT/scripts/windows-qt.sh" --cached; then
  echo "== Qt for Windows: building alongside, log in ${TMPDIR:-/tmp}/kvr7314-windows-qt.log"
  # A session of its own, so a failed stage ends the run and the builder
  # with everything it started goes with it. The kernel shares the CPU
  # between sessions first (autogroups), so the session itself is made the
  # lowest priority too: nice alone would still take half of it.
  setsid sh -c 'echo 19 >/proc/self/autogroup 2>/dev/null; exec nice -n 19 "$0"' \
    "$KVR_ROOT/scripts/windows-qt.sh" >"${TMPDIR:-/tmp}/kvr7314-windows-qt.log" 2>&1 &
  qt_builder=$!
  trap '[ -z "$qt_builder" ] || kill -- -"$qt_builder" 2>/dev/null || true' EXIT
fi

echo "== build and test"
kvr_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$KVR_ROOT/build" --output-on-failure -j2

echo "== modules behind the network: ser2net, sredird and socat on loopback"
"$KVR_ROOT/scripts/ser2net.sh"

echo "== the Debian package"
"$KVR_ROOT/scripts/package.sh" --check

echo "== the window by keyboard and with a screen reader (AT-SPI)"
"$KVR_ROOT/scripts/accessibility.sh"

echo "== on the kernel's own serial drivers: ftdi_sio and 8250 in a QEMU guest"
"$KVR_ROOT/scripts/vm-serial.sh"

echo "== build and test with AddressSanitizer + UndefinedBehaviorSanitizer"
kvr_build build-asan -DCMAKE_BUILD_TYPE=Debug -DKVR_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$KVR_ROOT/tests/lsan-system-libraries.supp:print_suppressions=0
ctest --test-dir "$KVR_ROOT/build-asan" --output-on-failure -j2

echo "== fuzz"
"$KVR_ROOT/scripts/fuzz.sh" "${KVR_FUZZ_SECONDS:-20}"

echo "== the Windows release, tested under wine"
if [ -n "$qt_builder" ]; then
  wait "$qt_builder" || { tail -n 40 "${TMPDIR:-/tmp}/kvr7314-windows-qt.log"; exit 1; }
  qt_builder=
fi
"$KVR_ROOT/scripts/windows.sh" --test

echo "== the user's own record"
if [ "$(record_state)" != "$record_before" ]; then
  echo "FAILED: the tests changed $user_record:"
  diff <(printf '%s\n' "$record_before") <(record_state) || true
  exit 1
fi
echo "ok: $user_record is as it was before the tests"

echo "== all tests passed"
