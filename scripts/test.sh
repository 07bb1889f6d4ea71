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

bash "$root/scripts/deps.sh" build || { echo "tests: 0 passed, 1 failed"; exit 1; }

broken=0
for stage in "$root"/scripts/test-stages/*.sh; do
  name=$(basename "$stage" .sh)
  if [ -n "${VELMORA_STAGES:-}" ] && ! grep -qw -- "${name#*-}" <<<"$VELMORA_STAGES"; then continue; fi
  echo "=== stage $name"
  start=$(date +%s)
  rows=$(wc -l < "$VELMORA_RESULTS")
  if ! bash "$stage"; then
    echo "=== stage $name FAILED"
    [ "$(wc -l < "$VELMORA_RESULTS")" -gt "$rows" ] || echo "$name 0 1 0" >> "$VELMORA_RESULTS"
    broken=1
  fi
  echo "=== stage $name took $(( $(date +%s) - start )) s"
done

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
