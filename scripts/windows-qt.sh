#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase only) for Windows x86_64 with Debian's mingw-w64
# (g++ 12, posix threads) from Debian's own qt6-base source package, and
# installs it into a cache outside the work tree.
#
# Usage:  prefix=$(scripts/windows-qt.sh | tail -n 1)
#         scripts/windows-qt.sh --cached   exit 0 when the prefix is built, 1 when not
#
# Progress goes to stderr; the last line on stdout is the install prefix.
# A complete prefix (stamp file present) is reused: a second run only prints it.
#
# Environment:
#   KVR_QT_CACHE   cache folder (default: $HOME/.cache/kvr7314)
#   KVR_QT_JOBS    parallel build jobs (default: number of cores)
#
# The prefix also holds the CMake toolchain file for consumers:
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=<prefix>/mingw-toolchain.cmake \
#     -DCMAKE_PREFIX_PATH=<prefix> -DQT_HOST_PATH=/usr \
#     -DCMAKE_BUILD_TYPE=Release
# and <prefix>/deploy-files.txt lists, one "kind source destination" a line, the
# DLLs, plugins and font to copy into the folder of the .exe.
set -euo pipefail

QT_VERSION=6.4.2
# Bump when the build steps change in a way the options below do not show.
RECIPE=2
TRIPLE=x86_64-w64-mingw32
HOST_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake

log() { printf '[windows-qt] %s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Options passed to Qt's CMake configure. Any change here changes the cache key.
QT_OPTIONS=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_HOST_PATH=/usr
  "-DQT_HOST_PATH_CMAKE_DIR=$HOST_CMAKE_DIR"
  # Modules and features the tool does not use.
  -DFEATURE_sql=OFF
  # Network for modules behind a device server; TLS through Windows' own
  # Schannel (the only backend a mingw build has: no OpenSSL to load).
  -DFEATURE_network=ON
  -DFEATURE_schannel=ON
  -DFEATURE_openssl=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_zstd=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_icu=OFF
  # OpenGL: FEATURE_opengl=OFF alone still leaves dynamic GL enabled, and
  # qwindowswindow.cpp then fails to compile; the configure input is needed.
  -DINPUT_opengl=no
  -DFEATURE_opengl=OFF
  # The Debian tarball carries no wintab headers.
  -DFEATURE_tabletevent=OFF
  # Third-party libraries: the copies bundled with Qt.
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_libb2=OFF
  # Kept on on purpose: direct2d (turning it off breaks linking
  # Qt6PrintSupport.dll), testlib, printsupport, widgets, windowsvista style.
)

# shellcheck disable=SC2016 # CMake variables, expanded by CMake
TOOLCHAIN_TEXT='# CMake toolchain: Windows x86_64 with Debian mingw-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Search the MinGW sysroot and, when this file sits in a Qt prefix, that prefix.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/lib/cmake/Qt6")
  list(APPEND CMAKE_FIND_ROOT_PATH "${CMAKE_CURRENT_LIST_DIR}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
'

# Packages needed to fetch and build (host Qt 6.4.2 provides moc/rcc/uic).
PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  dpkg-dev cmake ninja-build perl python3 pkg-config
  qt6-base-dev qt6-base-dev-tools
  xz-utils ca-certificates
  fonts-dejavu-core
)

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    as_root apt-get -o DPkg::Lock::Timeout=600 update -qq >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
      install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
}

# Adds a deb-src entry for bookworm in a file of its own (the main sources file
# is left alone), then refreshes the lists.
ensure_deb_src() {
  if apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version: 6\.4\.2'; then
    return
  fi
  local f=/etc/apt/sources.list.d/kvr7314-deb-src.sources
  if [ ! -f "$f" ]; then
    log "adding deb-src entry: $f"
    as_root tee "$f" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  fi
  as_root apt-get -o DPkg::Lock::Timeout=600 update -qq >&2
  apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version: 6\.4\.2' \
    || die "no qt6-base 6.4.2 source package found after adding deb-src"
}

cache_root=${KVR_QT_CACHE:-$HOME/.cache/kvr7314}
key=$(printf '%s\n' "$QT_VERSION" "$RECIPE" "${QT_OPTIONS[@]}" "$TOOLCHAIN_TEXT" \
      | sha256sum | cut -c1-10)
prefix=$cache_root/qt-$QT_VERSION-mingw-$key
stamp=$prefix/.kvr-complete

if [ "${1:-}" = "--cached" ]; then
  [ -f "$stamp" ]
  exit
fi
if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache_root"
# One builder per key at a time.
exec 9>"$cache_root/.lock-$key"
if ! flock -n 9; then
  log "another run is building $prefix; waiting"
  flock 9
fi
if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

case "$prefix" in
  /work/main|/work/main/*) die "cache must be outside the work tree: $prefix" ;;
esac

t_start=$(date +%s)
install_missing "${PACKAGES[@]}"
host_ver=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case "$host_ver" in
  6.4.2*) ;;
  *) die "host qt6-base-dev is $host_ver; Qt $QT_VERSION host tools are needed" ;;
esac
ensure_deb_src

scratch=$cache_root/work-$key
rm -rf "$scratch" "$prefix"
mkdir -p "$scratch/src"

log "fetching Debian source package qt6-base into $scratch/src"
t0=$(date +%s)
(cd "$scratch/src" && apt-get source -qq qt6-base >&2)
srcdir=$(find "$scratch/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
if [ -z "$srcdir" ] || [ ! -f "$srcdir/CMakeLists.txt" ]; then die "source tree not found"; fi
grep -q "QT_REPO_MODULE_VERSION \"$QT_VERSION\"" "$srcdir/.cmake.conf" \
  || die "source in $srcdir is not Qt $QT_VERSION"
t_fetch=$(( $(date +%s) - t0 ))

# The toolchain lives in the prefix from the start: Qt records the path and its
# qt.toolchain.cmake / qt-cmake load it from there later.
mkdir -p "$prefix"
printf '%s' "$TOOLCHAIN_TEXT" >"$prefix/mingw-toolchain.cmake"

log "configuring (prefix $prefix)"
t0=$(date +%s)
configure=(cmake -S "$srcdir" -B "$scratch/build" -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-toolchain.cmake"
  -DCMAKE_INSTALL_PREFIX="$prefix"
  "${QT_OPTIONS[@]}")
printf '%q ' "${configure[@]}" >"$scratch/configure-command.txt"
echo >>"$scratch/configure-command.txt"
"${configure[@]}" >"$scratch/configure.log" 2>&1 \
  || { tail -n 60 "$scratch/configure.log" >&2; die "configure failed (log: $scratch/configure.log)"; }
t_configure=$(( $(date +%s) - t0 ))

jobs=${KVR_QT_JOBS:-$(nproc)}
log "building with $jobs jobs (18-30 min on 2 cores)"
t0=$(date +%s)
nice -n 10 cmake --build "$scratch/build" --parallel "$jobs" >"$scratch/build.log" 2>&1 \
  || { tail -n 60 "$scratch/build.log" >&2; die "build failed (log: $scratch/build.log)"; }
t_build=$(( $(date +%s) - t0 ))

log "installing"
t0=$(date +%s)
# --strip drops the DWARF sections the release DLLs carry (Qt6Core 9.4 -> 6.5 MB).
cmake --install "$scratch/build" --strip >"$scratch/install.log" 2>&1 \
  || { tail -n 30 "$scratch/install.log" >&2; die "install failed"; }
t_install=$(( $(date +%s) - t0 ))

for f in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6PrintSupport.dll \
         bin/Qt6Network.dll plugins/tls/qschannelbackend.dll \
         bin/Qt6Test.dll plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
         plugins/styles/qwindowsvistastyle.dll lib/cmake/Qt6/Qt6Config.cmake; do
  [ -f "$prefix/$f" ] || die "missing after install: $prefix/$f"
done

cp "$scratch/configure-command.txt" "$prefix/configure-command.txt"

# What a deployment copies beside the .exe: "kind source destination", the
# destination relative to the folder of the .exe. Kinds: app (always), test
# (QtTest executables), offscreen (runs with -platform offscreen: on Windows that
# plugin reads fonts only from <exe folder>/lib/fonts, so text would be missing
# without one there).
# The MinGW runtime DLLs come from Debian's gcc-mingw-w64-x86-64-posix-runtime
# (libstdc++, libgcc_s) and mingw-w64-x86-64-dev (libwinpthread); they are
# copied into <prefix>/bin without debug sections (libstdc++-6.dll 23.7 -> 4.3 MB).
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
for f in "$gcc_dir/libstdc++-6.dll" "$gcc_dir/libgcc_s_seh-1.dll" \
         "/usr/$TRIPLE/lib/libwinpthread-1.dll"; do
  x86_64-w64-mingw32-strip --strip-debug -o "$prefix/bin/$(basename "$f")" "$f"
done
{
  echo "# kind source destination-relative-to-exe-folder"
  for d in Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport Qt6Network; do
    echo "app $prefix/bin/$d.dll $d.dll"
  done
  echo "app $prefix/plugins/tls/qschannelbackend.dll tls/qschannelbackend.dll"
  echo "app $prefix/plugins/platforms/qwindows.dll platforms/qwindows.dll"
  echo "app $prefix/plugins/platforms/qoffscreen.dll platforms/qoffscreen.dll"
  echo "app $prefix/plugins/styles/qwindowsvistastyle.dll styles/qwindowsvistastyle.dll"
  for d in libstdc++-6 libgcc_s_seh-1 libwinpthread-1; do
    echo "app $prefix/bin/$d.dll $d.dll"
  done
  echo "test $prefix/bin/Qt6Test.dll Qt6Test.dll"
  echo "offscreen /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf lib/fonts/DejaVuSans.ttf"
} >"$prefix/deploy-files.txt"
while read -r kind src _; do
  case "$kind" in '#'*) continue ;; esac
  [ -f "$src" ] || die "deployment file missing: $src"
done <"$prefix/deploy-files.txt"

t_total=$(( $(date +%s) - t_start ))
{
  echo "qt=$QT_VERSION key=$key source=$(basename "$srcdir")"
  echo "host_qt=$host_ver mingw=$(x86_64-w64-mingw32-g++-posix -dumpversion)"
  echo "seconds: fetch=$t_fetch configure=$t_configure build=$t_build install=$t_install total=$t_total"
} >"$prefix/build-info.txt"
cat "$prefix/build-info.txt" >&2

rm -rf "$scratch"
date -u +%Y-%m-%dT%H:%M:%SZ >"$stamp"
log "done: $(du -sh "$prefix" | cut -f1) in $prefix"
echo "$prefix"
