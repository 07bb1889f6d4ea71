# Sourced by the Windows test stages: finding wine64, the cross-build against Qt for Windows and
# the paths its programs need under wine, and counting GoogleTest cases run under wine.

# Sets wine64 and wineserver; fails when either is missing.
find_wine() {
  wine64=/usr/lib/wine/wine64
  [ -x "$wine64" ] || wine64=$(command -v wine64 || true)
  wineserver="$(dirname "${wine64:-/nonexistent}")/wineserver"
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
  [ -n "$wine64" ] && [ -n "$wineserver" ]
}

# count_gtest_cases LOG CTEST_EXIT_CODE: prints what `ctest -V` ran and sets passed, failed and
# skipped from GoogleTest's closing lines of each executable ("3: [  PASSED  ] 16 tests."). An
# executable that failed without its summary (a crash, a time-out) counts once, and so does a
# failing ctest run that reported no failure.
count_gtest_cases() {
  local log=$1 code=$2 summary ctest_failed reporting
  grep -E 'Test +#[0-9]+: ' "$log"
  grep -E '^[0-9]+: \[  (PASSED |FAILED |SKIPPED) \] [0-9]+ tests?' "$log"
  grep -E '^[0-9]+: \[  (FAILED  |SKIPPED ) \] [A-Za-z_]' "$log" | sort -u | head -40
  sum() { grep -E "^[0-9]+: \[  $1 \] [0-9]+ tests?" "$log" | sed -E 's/.*\] ([0-9]+) test.*/\1/' | awk '{s += $1} END {print s + 0}'; }
  passed=$(sum "PASSED ")
  failed=$(sum "FAILED ")
  skipped=$(sum "SKIPPED")
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$summary" ]; then
    tail -20 "$log"; failed=$((failed + 1))
  else
    echo "$summary"
    ctest_failed=$(sed -E 's/.* ([0-9]+) tests failed out of.*/\1/' <<<"$summary")
    reporting=$(grep -cE '^[0-9]+: \[  FAILED  \] [0-9]+ tests?, listed below' "$log" || true)
    [ "$ctest_failed" -gt "$reporting" ] && failed=$((failed + ctest_failed - reporting))
  fi
  [ "$code" -ne 0 ] && [ "$failed" -eq 0 ] && failed=1
  return 0
}

# stop_wine: ends $WINEPREFIX's wine server and every program still running in it.
stop_wine() { timeout 60 "$wineserver" -k > /dev/null 2>&1 || true; }

# prepare_wine_prefix LOG: $WINEPREFIX made ready for test runs: a persistent server, so that no
# helper inherits the pipes of the runs that follow, and one program run in it. Shows the log's
# tail and fails when that program does not run. The caller ends the server (trap stop_wine EXIT).
prepare_wine_prefix() {
  mkdir -p "$WINEPREFIX"
  timeout 60 "$wineserver" -p < /dev/null > /dev/null 2>&1
  timeout 300 "$wine64" cmd /c exit < /dev/null > "$1" 2>&1 || { tail -20 "$1"; return 1; }
}

# winpath PATH: a host path as a Windows program under wine sees it (drive Z:).
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# export_qt_wine_paths QT: Qt's and mingw's DLLs found through WINEPATH, Qt's plugins through
# QT_PLUGIN_PATH, for programs built against Qt 5 for Windows at QT.
export_qt_wine_paths() {
  local gcc_runtime pthread_runtime
  gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
  pthread_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")
  export WINEPATH="$(winpath "$1/bin");$(winpath "$gcc_runtime");$(winpath "$pthread_runtime")"
  export QT_PLUGIN_PATH=$(winpath "$1/plugins")
}

# cross_prerequisites STAGE: sets qt to Qt 5 for Windows (VELMORA_QT_PREFIX names one of one's own, else
# scripts/qt-mingw.sh builds or reuses one) and has SDL2 for Windows x86_64 built for
# configure_qt_cross. Prints what is missing, after STAGE, and fails.
cross_prerequisites() {
  local log="${VELMORA_BUILD_ROOT:?}/sdl2-mingw-x86_64.log"
  qt=${VELMORA_QT_PREFIX:-}
  [ -n "$qt" ] || qt=$(timeout 5400 bash "${VELMORA_ROOT:?}/scripts/qt-mingw.sh" | tail -1)
  if [ -z "$qt" ] || [ ! -d "$qt/lib/cmake/Qt5Widgets" ]; then
    echo "$1: no Qt 5 for Windows (scripts/qt-mingw.sh failed)"; return 1
  fi
  if ! timeout 3600 bash "$VELMORA_ROOT/scripts/sdl2-mingw.sh" x86_64 > "$log" 2>&1; then
    tail -20 "$log"; echo "$1: SDL2 for Windows cannot be built"; return 1
  fi
}

# configure_qt_cross DIR QT LOG: the x86_64 cross-build tree against Qt 5 for Windows at QT, run
# through wine64 (find_wine first), with SDL2 for Windows where scripts/sdl2-mingw.sh has built it
# (else without gamepads). Stages windows, windows-package, windows-qt and e2e share the tree.
# libqrencode for Windows (scripts/qrencode-mingw.sh, built once and cached) draws serve's QR code.
# Stage e2e runs beside the Windows stages: configure_qt_cross takes the tree's lock, which its
# caller holds while it builds there and lets go with tree_unlock (or by exiting).
configure_qt_cross() {
  local qrencode
  exec 9> "$1.lock"
  flock 9
  qrencode=$(timeout 900 bash "${VELMORA_ROOT:?}/scripts/qrencode-mingw.sh" 2> "$3.qrencode" | tail -1)
  timeout 600 cmake -S "${VELMORA_ROOT:?}" -B "$1" -G Ninja -DVELMORA_QRENCODE_PREFIX="$qrencode" \
    -DCMAKE_TOOLCHAIN_FILE="$VELMORA_ROOT/cmake/toolchains/mingw-x86_64-qt.cmake" -DVELMORA_QT_PREFIX="$2" \
    -DVELMORA_WITH_QT=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON -DVELMORA_BENCH=OFF \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine64" \
    -DVELMORA_SDL2_PREFIX="$(bash "$VELMORA_ROOT/scripts/sdl2-mingw.sh" --cached x86_64)" > "$3" 2>&1
}

# tree_unlock: lets the other stages configure and build in the shared tree again.
tree_unlock() { exec 9>&-; }
