#!/usr/bin/env bash
# The Windows layer (the adapters, the packet protocol and transport), cross-built warning-free with
# mingw-w64: for i686 without Qt (the libraries), for x86_64 with their tests in the tree that the
# stages after it share (against Qt for Windows, scripts/qt-mingw.sh), the tests run under wine64
# through ctest. Records "windows passed failed skipped" in GoogleTest cases.
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

# i686: the libraries and the probe that links them all, without Qt (there is no 32-bit wine to run
# the tests in).
cross_build_i686() {
  local dir="$build/mingw-i686" t0
  t0=$(date +%s)
  if ! timeout 600 cmake -S "$root" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON \
      -DVELMORA_WITH_QT=OFF -DVELMORA_BENCH=OFF "$@" > "$dir.configure.log" 2>&1; then
    tail -40 "$dir.configure.log"; return 1
  fi
  build_warning_free "$dir" "${libraries[@]}" && elapsed "i686 cross-build" "$t0"
}

build_warning_free() {  # DIR TARGET...: any warning from our own sources fails the stage
  local dir=$1; shift
  if ! timeout 1800 cmake --build "$dir" --target "$@" -- -j2 > "$dir.build.log" 2>&1; then
    grep -E 'error|warning' "$dir.build.log" | head -40; tail -20 "$dir.build.log"; return 1
  fi
  no_warnings "$root" "$dir.build.log" || { echo "windows: $(basename "$dir") build has warnings"; return 1; }
}

sdl2_prefix() {  # ARCH: SDL2 for Windows, built on the first run (a few minutes), then cached
  local t0 prefix
  t0=$(date +%s)
  prefix=$(timeout 3600 bash "$root/scripts/sdl2-mingw.sh" "$1" 2> "$build/sdl2-mingw-$1.log" | tail -1)
  [ -f "$prefix/.complete" ] || { tail -20 "$build/sdl2-mingw-$1.log"; echo "windows: SDL2 for $1 cannot be built" >&2; return 1; }
  elapsed "SDL2 for $1" "$t0" >&2
  echo "$prefix"
}
sdl_i686=$(sdl2_prefix i686) || { record 0 1 0; exit 1; }
cross_build_i686 -DVELMORA_SDL2_PREFIX="$sdl_i686" || { record 0 1 0; exit 1; }

# x86_64: the tree of the Qt stages.
t0=$(date +%s)
cross_prerequisites "$stage" || { record 0 1 0; exit 1; }
elapsed "Qt 5 and SDL2 for Windows" "$t0"
t0=$(date +%s)
dir=$build/mingw-x86_64-qt
configure_qt_cross "$dir" "$qt" "$dir.configure.log" || { tail -40 "$dir.configure.log"; record 0 1 0; exit 1; }
build_warning_free "$dir" "${libraries[@]}" "${tests[@]}" || { record 0 1 0; exit 1; }
tree_unlock
elapsed "x86_64 cross-build" "$t0"

# wine, headless: a scratch prefix, no display, no .NET or Gecko installers; Qt's and mingw's DLLs
# through WINEPATH. A persistent server and one program started first, so that no helper inherits
# the pipes of the test runs.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export_qt_wine_paths "$qt"
unset DISPLAY WAYLAND_DISPLAY
t0=$(date +%s)
trap stop_wine EXIT
prepare_wine_prefix "$build/wineprefix.log" || { record 0 1 0; exit 1; }
elapsed "wine prefix" "$t0"

t0=$(date +%s)
log="$dir.windows-ctest.log"
only="^($(IFS='|'; echo "${tests[*]}"))\$"
(cd "$dir" && timeout 900 ctest -V -j2 --timeout 300 -R "$only") < /dev/null > "$log" 2>&1
code=$?
elapsed "tests under wine" "$t0"

count_gtest_cases "$log" "$code"
echo "windows: $passed passed, $failed failed, $skipped skipped (GoogleTest cases under wine64)"
record "$passed" "$failed" "$skipped"
[ "$failed" -eq 0 ]
