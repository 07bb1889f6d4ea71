#!/usr/bin/env bash
# The Windows layer, cross-built with mingw-w64 for i686 and x86_64 (no Qt for Windows here: the
# adapters, the packet protocol and transport, and their tests), warning-free; the x86_64 tests
# then run under wine64 through ctest. Records "windows passed failed skipped" in GoogleTest cases.
set -uo pipefail
root=${VELMORA_ROOT:?}
build=${VELMORA_BUILD_ROOT:?}
stage=windows

record() { echo "$stage $1 $2 $3" >> "${VELMORA_RESULTS:?}"; }
elapsed() { echo "windows: $1 took $(( $(date +%s) - $2 )) s"; }

start=$(date +%s)
if ! timeout 900 bash "$root/scripts/deps.sh" windows; then
  echo "windows: could not install the mingw-w64 and wine packages"; record 0 1 0; exit 1
fi
elapsed "installing" "$start"

source "$root/scripts/wine-stage.sh"
source "$root/scripts/build-warnings.sh"
find_wine || { echo "windows: wine64 not found"; record 0 1 0; exit 1; }

# What the cross-build covers: the backends (the Windows adapters, the simulated cameras), the
# extension-unit transport and packet protocol, the identity, serve's VISCA decoder, and these
# GoogleTest executables. Folders for Linux or Qt alone stay out.
libraries=(velmora_backend velmora_windows velmora_xu velmora_identity velmora_visca)
tests=(velmora_windows_tests velmora_win_decoder_tests velmora_packet_tests velmora_xu_tests velmora_visca_tests)
# Gamepads and MIDI: the mappings, WinMM's MIDI input and SDL2's game controllers (SDL2 for Windows
# built once by scripts/sdl2-mingw.sh and cached), with the probe that links them all.
libraries+=(velmora_controllers velmora_midi_source velmora_gamepad_source velmora-gamepad-probe)
tests+=(velmora_controller_tests)

# Configure and build one architecture; any warning from our own sources fails the stage.
cross_build() {
  local arch=$1; shift
  local dir="$build/mingw-$arch" t0
  t0=$(date +%s)
  if ! timeout 600 cmake -S "$root" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DVELMORA_WITH_QT=OFF -DVELMORA_BENCH=OFF "$@" > "$dir.configure.log" 2>&1; then
    tail -40 "$dir.configure.log"; return 1
  fi
  if ! timeout 1800 cmake --build "$dir" --target "${libraries[@]}" "${tests[@]}" -- -j2 > "$dir.build.log" 2>&1; then
    grep -E 'error|warning' "$dir.build.log" | head -40; tail -20 "$dir.build.log"; return 1
  fi
  if ! no_warnings "$root" "$dir.build.log"; then
    echo "windows: $arch build has warnings"; return 1
  fi
  elapsed "$arch cross-build" "$t0"
}

sdl2_prefix() {  # ARCH: SDL2 for Windows, built on the first run (a few minutes), then cached
  local t0 prefix
  t0=$(date +%s)
  prefix=$(timeout 3600 bash "$root/scripts/sdl2-mingw.sh" "$1" 2> "$build/sdl2-mingw-$1.log" | tail -1)
  [ -f "$prefix/.complete" ] || { tail -20 "$build/sdl2-mingw-$1.log"; echo "windows: SDL2 for $1 cannot be built" >&2; return 1; }
  elapsed "SDL2 for $1" "$t0" >&2
  echo "$prefix"
}
sdl_i686=$(sdl2_prefix i686) && sdl_x86_64=$(sdl2_prefix x86_64) || { record 0 1 0; exit 1; }
cross_build i686 -DVELMORA_SDL2_PREFIX="$sdl_i686" || { record 0 1 0; exit 1; }
cross_build x86_64 -DCMAKE_CROSSCOMPILING_EMULATOR="$wine64" -DVELMORA_SDL2_PREFIX="$sdl_x86_64" ||
  { record 0 1 0; exit 1; }

# wine, headless: a scratch prefix, no display, no .NET or Gecko installers. A persistent server
# and one program started first, so that no helper inherits the pipes of the test runs.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
t0=$(date +%s)
trap stop_wine EXIT
prepare_wine_prefix "$build/wineprefix.log" || { record 0 1 0; exit 1; }
elapsed "wine prefix" "$t0"

t0=$(date +%s)
log="$build/mingw-x86_64.ctest.log"
only="^($(IFS='|'; echo "${tests[*]}"))\$"
(cd "$build/mingw-x86_64" && timeout 900 ctest -V -j2 --timeout 300 -R "$only") < /dev/null > "$log" 2>&1
code=$?
elapsed "tests under wine" "$t0"

count_gtest_cases "$log" "$code"
echo "windows: $passed passed, $failed failed, $skipped skipped (GoogleTest cases under wine64)"
record "$passed" "$failed" "$skipped"
[ "$failed" -eq 0 ]
