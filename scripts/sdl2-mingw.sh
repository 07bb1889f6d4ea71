#!/usr/bin/env bash
# Builds SDL2 for Windows (mingw-w64, a static library with only what game controllers need) from
# Debian's own libsdl2 source, once, into a cache outside the checkout keyed by the source version,
# the options, the compiler and the architecture. Prints the prefix on its last line; a second run
# with the same key only prints it. A run that fails or is interrupted resumes where it stopped.
#
#   scripts/sdl2-mingw.sh [ARCH]           build if needed, print the prefix (ARCH x86_64 or i686;
#                                          default x86_64)
#   scripts/sdl2-mingw.sh --cached [ARCH]  print the prefix when it is built already, else fail
#
# Runs at the same time wait for each other. VELMORA_CACHE chooses the cache folder (default:
# /var/cache/velmora as root, else ${XDG_CACHE_HOME:-~/.cache}/velmora).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -eq 0 ]; then default_cache=/var/cache/velmora; else default_cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora; fi
cache=${VELMORA_CACHE:-$default_cache}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
jobs=${VELMORA_JOBS:-$(nproc)}
cached_only=
[ "${1:-}" = "--cached" ] && { cached_only=1; shift; }
arch=${1:-x86_64}
case "$arch" in x86_64 | i686) ;; *) echo "sdl2-mingw: ARCH is x86_64 or i686, not $arch" >&2; exit 2 ;; esac

step_prefix=sdl2-mingw
source "$root/scripts/step.sh"
source "$root/scripts/deb-source.sh"

# Game controllers need the joystick, events, threads and timers; on Windows the joystick and haptic
# drivers also use the video subsystem's helper window (its code, not a window on screen), so video
# stays in, without rendering, OpenGL or Vulkan. Audio and the rest are left out.
configure_options=(
  -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_STATIC_PIC=OFF -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON
  -DSDL_AUDIO=OFF -DSDL_VIDEO=ON -DSDL_RENDER=OFF -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF
  -DSDL_POWER=OFF -DSDL_FILESYSTEM=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_CPUINFO=ON -DSDL_EVENTS=ON
  -DSDL_JOYSTICK=ON -DSDL_HAPTIC=ON -DSDL_HIDAPI=ON -DSDL_SENSOR=ON -DSDL_THREADS=ON -DSDL_TIMERS=ON
  -DSDL_LOADSO=ON -DSDL_FILE=ON -DCMAKE_BUILD_TYPE=Release
)

[ -n "$cached_only" ] || ensure_source_entry
version=$(source_version libsdl2)
if [ -z "$version" ]; then
  [ -z "$cached_only" ] || exit 1
  step 600 "apt-get update" $sudo apt-get update -q > /dev/null
  version=$(source_version libsdl2)
fi
[ -n "$version" ] || { echo "sdl2-mingw: apt knows no libsdl2 source package" >&2; exit 1; }

compiler=$("$arch-w64-mingw32-gcc-posix" --version | head -1)
key=$(printf '%s\n' "$version" "${configure_options[*]}" "$compiler" "$arch" "$(cat "$root/cmake/toolchains/mingw-common.cmake")" |
  sha256sum | cut -c1-16)
prefix="$cache/sdl2-mingw-$arch-$key"
work="$cache/sdl2-mingw-work-$arch-$key"
if [ -n "$cached_only" ]; then
  [ -f "$prefix/.complete" ] || exit 1
  echo "$prefix"
  exit 0
fi
mkdir -p "$cache"
exec {lock}> "$cache/sdl2-mingw-$arch-$key.lock"
flock "$lock"
if [ -f "$prefix/.complete" ]; then
  echo "sdl2-mingw: cached $prefix (libsdl2 $version)" >&2
  echo "$prefix"
  exit 0
fi

rm -rf "$prefix"
echo "sdl2-mingw: building libsdl2 $version for $arch Windows into $prefix" >&2
fetch_source libsdl2 "$version" "$work" CMakeLists.txt
if [ ! -f "$work/build/build.ninja" ]; then
  step 1800 "configure" cmake -S "$work/source" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${configure_options[@]}" > "$work/configure.log" 2>&1 || { tail -n 30 "$work/configure.log" >&2; exit 1; }
fi
step 1800 "build" cmake --build "$work/build" -j "$jobs" > "$work/build.log" 2>&1 ||
  { grep -E 'error' "$work/build.log" | head -30 >&2; tail -n 20 "$work/build.log" >&2; exit 1; }
step 300 "install" cmake --install "$work/build" > "$work/install.log" 2>&1 || { tail -n 30 "$work/install.log" >&2; exit 1; }
echo "libsdl2 $version; ${configure_options[*]}; $compiler; $arch" > "$prefix/.complete"
rm -rf "$work"
du -sh "$prefix" >&2
echo "$prefix"
