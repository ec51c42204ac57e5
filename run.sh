#!/usr/bin/env bash
# Installs what is missing, builds, and starts the KVR7314 configuration tool.
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
kvr_install_packages
kvr_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "kvr7314: no display found; to run the window without one, use: xvfb-run -a ./run.sh" >&2
  exit 1
fi
exec "$KVR_ROOT/build/app/kvr7314" "$@"
