# Shared by run.sh, test.sh and the scripts: install what is missing,
# configure and build, start a simulated module. Sourced, not run.

KVR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian 12 packages the tool, its tests and its demo need.
KVR_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  qt6-translations-l10n
  librsvg2-bin help2man dpkg-dev file
  fonts-dejavu-core
  poppler-utils
  clang libclang-rt-14-dev
  xvfb xauth
  lintian desktop-file-utils appstream
  shared-mime-info xdg-utils libfile-mimeinfo-perl
  at-spi2-core python3-pyatspi dbus openbox xdotool
)

kvr_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# kvr_install_packages [more packages...]: the project's packages and any
# given, those that are missing, in one apt step.
kvr_install_packages() {
  local missing=()
  local p
  for p in "${KVR_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # Waits for the lock rather than fail: Qt for Windows may be installing
    # its build tools alongside (test.sh).
    kvr_as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
    kvr_as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
      --no-install-recommends "${missing[@]}"
  fi
}

# kvr_configure DIR [cmake options...]: once; the options count only then.
kvr_configure() {
  local dir=$1; shift
  if [ ! -f "$KVR_ROOT/$dir/build.ninja" ]; then
    cmake -S "$KVR_ROOT" -B "$KVR_ROOT/$dir" -G Ninja "$@" >/dev/null
  fi
}

# kvr_build DIR [cmake options...]: configures and builds everything.
kvr_build() {
  kvr_configure "$@"
  cmake --build "$KVR_ROOT/$1"
}

# kvr_build_targets DIR TARGET...: builds only these (and what they need)
# in the plain build, configured as kvr_build configures it.
kvr_build_targets() {
  local dir=$1; shift
  kvr_configure "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$KVR_ROOT/$dir" --target "$@"
}

# kvr_start_sim TOOL OUT [OPTION...]: `TOOL sim` in the background, a
# simulated module on a pseudo-terminal; its pid added to pids, its device
# in dev, what it took listed in OUT, its messages in OUT-err. False when
# no device came up.
kvr_start_sim() {
  local tool=$1 out=$2
  : >"$out"
  "$tool" sim "${@:3}" >"$out" 2>"$out-err" &
  pids+=($!)
  for _ in $(seq 50); do [ "$(wc -l <"$out")" -ge 1 ] && break; sleep 0.1; done
  dev=$(head -n1 "$out")
  [ -c "$dev" ]
}
