#!/usr/bin/env bash
# The window on Windows: cross-built for x86_64 against Qt 5 for Windows (scripts/qt-mingw.sh, built
# once and cached), its GUI tests run under wine64 on the offscreen platform, then the real
# velmora.exe under wine64 on Xvfb with the windows platform plugin (tests/windows_gui/window-checks.sh).
# Records "windows-qt passed failed skipped": the GoogleTest cases plus the window checks.
set -uo pipefail
root=${VELMORA_ROOT:?}
build=${VELMORA_BUILD_ROOT:?}
stage=windows-qt
dir=$build/mingw-x86_64-qt

record() { echo "$stage $1 $2 $3" >> "${VELMORA_RESULTS:?}"; }
elapsed() { echo "$stage: $1 took $(( $(date +%s) - $2 )) s"; }

start=$(date +%s)
if ! timeout 900 bash "$root/scripts/deps.sh" windows demo browser; then
  echo "$stage: could not install the mingw-w64, wine and X packages"; record 0 1 0; exit 1
fi
elapsed "installing" "$start"

source "$root/scripts/wine-stage.sh"
source "$root/scripts/build-warnings.sh"
find_wine || { echo "$stage: wine64 not found"; record 0 1 0; exit 1; }
t0=$(date +%s)
cross_prerequisites "$stage" || { record 0 1 0; exit 1; }
elapsed "Qt 5 and SDL2 for Windows ($qt)" "$t0"

# The Qt GUI tests of the window, its keys and hotkeys, device list and device change (the Linux-only
# cases stay out through CMake), the program and the helper that sends it device-change messages.
tests=(velmora_window_tests velmora_key_tests velmora_device_tests velmora_startup_tests
  velmora_device_change_tests velmora_config_tests velmora_window_config_tests velmora_window_xu_tests
  velmora_hotkeys_tests velmora_hotkey_window_tests)
targets=("${tests[@]}" velmora velmora-send-device-change velmoractl velmora-gamepad-probe)

t0=$(date +%s)
if ! configure_qt_cross "$dir" "$qt" "$dir.configure.log"; then
  tail -40 "$dir.configure.log"; record 0 1 0; exit 1
fi
if ! timeout 2400 nice cmake --build "$dir" --target "${targets[@]}" -- -j2 > "$dir.build.log" 2>&1; then
  grep -E 'error|warning' "$dir.build.log" | head -40; tail -20 "$dir.build.log"; record 0 1 0; exit 1
fi
tree_unlock
if ! no_warnings "$root" "$dir.build.log"; then
  echo "$stage: the build has warnings"; record 0 1 0; exit 1
fi
elapsed "cross-build against Qt" "$t0"

# wine: a prefix of this stage's own (the window checks change its debug settings), no .NET or
# Gecko installers; Qt's and mingw's DLLs found through WINEPATH, the plugins through QT_PLUGIN_PATH.
export WINEPREFIX="$build/wineprefix-qt" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export_qt_wine_paths "$qt"
trap stop_wine EXIT
t0=$(date +%s)
prepare_wine_prefix "$WINEPREFIX.log" || { record 0 1 0; exit 1; }
elapsed "wine prefix" "$t0"

t0=$(date +%s)
log="$dir.ctest.log"
only="^($(IFS='|'; echo "${tests[*]}"))\$"
(cd "$dir" && unset DISPLAY WAYLAND_DISPLAY &&
  QT_QPA_PLATFORM=offscreen VELMORA_BACKEND=sim timeout 1200 ctest -V -j1 --timeout 300 -R "$only") \
  < /dev/null > "$log" 2>&1
code=$?
elapsed "GUI tests under wine (offscreen)" "$t0"

count_gtest_cases "$log" "$code"
echo "$stage: GUI tests: $passed passed, $failed failed, $skipped skipped (GoogleTest cases under wine64)"

# run_checks NAME SECONDS WHAT SCRIPT ARGUMENTS...: runs a check script (its last line
# "NAME: N passed, N failed") and adds its counts; a script that ends without that line counts as failed.
run_checks() {
  local name=$1 limit=$2 what=$3 script=$4 log="$dir.$1.log" result t0
  shift 4
  t0=$(date +%s)
  WINE64=$wine64 timeout "$limit" bash "$root/tests/windows_gui/$script" "$@" < /dev/null > "$log" 2>&1
  cat "$log"
  elapsed "$what" "$t0"
  result=$(grep -E "^$name: [0-9]+ passed, [0-9]+ failed" "$log" | tail -1)
  if [ -z "$result" ]; then
    failed=$((failed + 1))
  else
    passed=$((passed + $(sed -E 's/.* ([0-9]+) passed.*/\1/' <<<"$result")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$result")))
  fi
}
run_checks window-checks 600 "the real window under wine on Xvfb" window-checks.sh "$dir" "$qt" "$dir/window-checks"
# velmoractl.exe serve on the simulated camera, reached over loopback with curl, and its keypad page
# in chromium (puppeteer-core, as stage browser installs it).
VELMORA_NODE_MODULES=$(bash "$root/tests/browser/install.sh" "$build/browser-node") || VELMORA_NODE_MODULES=
export VELMORA_NODE_MODULES
run_checks serve-checks 300 "velmoractl.exe serve under wine" serve-checks.sh "$dir" "$dir/serve-checks"
# velmoractl.exe macro on the simulated camera, with the README's example.
run_checks macro-checks 300 "velmoractl.exe macro under wine" macro-checks.sh "$dir" "$dir/macro-checks"

echo "$stage: $passed passed, $failed failed, $skipped skipped"
record "$passed" "$failed" "$skipped"
[ "$failed" -eq 0 ]
