#!/usr/bin/env bash
# Shared by the stages: configure, build and run ctest in one build tree, then record the counts.
# Usage: ctest-stage.sh STAGE_NAME BUILD_DIR TIMEOUT_SECONDS [cmake options...]
set -uo pipefail
stage=$1; dir=$2; limit=$3; shift 3
root=${VELMORA_ROOT:?}
log="$dir.ctest.log"

record() { echo "$stage $1 $2 $3" >> "${VELMORA_RESULTS:?}"; }

if ! timeout "$limit" cmake -S "$root" -B "$dir" -G Ninja "$@" > "$dir.configure.log" 2>&1; then
  tail -40 "$dir.configure.log"; record 0 1 0; exit 1
fi
if ! timeout "$limit" cmake --build "$dir" > "$dir.build.log" 2>&1; then
  grep -E 'error|warning' "$dir.build.log" | head -40; tail -20 "$dir.build.log"; record 0 1 0; exit 1
fi
(cd "$dir" && timeout "$limit" ctest --output-on-failure -j2 --timeout 300) > "$log" 2>&1
code=$?
grep -E '(Failed|\*\*\*)' "$log" | head -40
tail -4 "$log"
summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
if [ -z "$summary" ]; then record 0 1 0; exit 1; fi
failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
skipped=$(grep -cE '\*\*\*Skipped|Not Run.*Disabled' "$log" || true)
record $((total - failed - skipped)) "$failed" "$skipped"
exit $code
