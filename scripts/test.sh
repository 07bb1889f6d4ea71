#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, and runs each stage of scripts/test-stages/
# in order (unit and GUI tests, the sanitizer build, ...). Ends with one summary line.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export VELMORA_ROOT="$root"
export VELMORA_BUILD_ROOT="${VELMORA_BUILD_ROOT:-$root/build-tests}"
export VELMORA_RESULTS="$VELMORA_BUILD_ROOT/results.txt"
mkdir -p "$VELMORA_BUILD_ROOT"
: > "$VELMORA_RESULTS"

# Every stage's packages at once, so that no two apt runs overlap once the stages start.
timeout 1800 bash "$root/scripts/deps.sh" build windows package-windows vm package-deb browser || { echo "tests: 0 passed, 1 failed"; exit 1; }

# VELMORA_STAGES="unit windows-qt" runs only those stages (names without their number).
selected() { [ -z "${VELMORA_STAGES:-}" ] || [[ " ${VELMORA_STAGES//,/ } " == *" $1 "* ]]; }

# Qt for Windows takes half an hour on a fresh machine and is cached after that, SDL2 and
# libqrencode for Windows a few minutes: build them beside the Linux stages, at low priority, so that
# they take whatever CPU those leave (while their tests run) without slowing them. The stages that
# need them run once they are done (each script also locks its cache). The steps' limits allow for
# that: a step that still runs out leaves its work behind, and the stage's own call resumes it.
windows_builds() {
  nice -n 10 timeout 4800 bash "$root/scripts/qt-mingw.sh"
  nice -n 10 timeout 1800 bash "$root/scripts/sdl2-mingw.sh" x86_64
  nice -n 10 timeout 1800 bash "$root/scripts/sdl2-mingw.sh" i686
  nice -n 10 timeout 900 bash "$root/scripts/qrencode-mingw.sh"
}
qt_builder=""
if selected windows || selected windows-package || selected windows-qt; then
  timeout 900 bash "$root/scripts/qt-mingw.sh" --fetch
  windows_builds > "$VELMORA_BUILD_ROOT/qt-mingw.log" 2>&1 &
  qt_builder=$!
fi

broken=0
run_stage() {
  local stage=$1 name start rows
  name=$(basename "$stage" .sh)
  echo "=== stage $name"
  start=$(date +%s)
  rows=$(wc -l < "$VELMORA_RESULTS")
  if ! bash "$stage"; then
    echo "=== stage $name FAILED"
    [ "$(wc -l < "$VELMORA_RESULTS")" -gt "$rows" ] || echo "$name 0 1 0" >> "$VELMORA_RESULTS"
    broken=1
  fi
  echo "=== stage $name took $(( $(date +%s) - start )) s"
}

# The stages that need those builds run after the others, once the builds are done (e2e runs the
# Windows programs in its VM; alone, without Qt, it skips them). e2e runs beside the Windows stages,
# its output shown when it ends: its VMs emulate one CPU each, and the Windows stages spend much of
# their time waiting on wine; they take turns at the x86_64 tree they share (configure_qt_cross).
later=()
for stage in "$root"/scripts/test-stages/*.sh; do
  name=$(basename "$stage" .sh)
  selected "${name#*-}" || continue
  case "${name#*-}" in
    windows | windows-package | windows-qt | e2e) later+=("$stage"); continue ;;
  esac
  run_stage "$stage"
done
[ -z "$qt_builder" ] || wait "$qt_builder"
beside="" beside_log="$VELMORA_BUILD_ROOT/stage-e2e.log"
for stage in "${later[@]}"; do
  [[ $(basename "$stage") == *-e2e.sh ]] || continue
  echo "=== stage $(basename "$stage" .sh) runs beside the Windows stages (its output at their end)"
  (broken=0; run_stage "$stage"; exit $broken) > "$beside_log" 2>&1 &
  beside=$!
done
for stage in "${later[@]}"; do
  [[ $(basename "$stage") == *-e2e.sh ]] || run_stage "$stage"
done
if [ -n "$beside" ]; then
  wait "$beside" || broken=1
  cat "$beside_log"
fi

echo
echo "=== summary"
passed=0; failed=0; skipped=0
while read -r name p f s; do
  printf '  %-24s %5d passed %3d failed %3d skipped\n' "$name" "$p" "$f" "$s"
  passed=$((passed + p)); failed=$((failed + f)); skipped=$((skipped + s))
done < "$VELMORA_RESULTS"
[ "$failed" -eq 0 ] && [ "$broken" -eq 0 ] && status=0 || status=1
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit $status
