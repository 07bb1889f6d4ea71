#!/usr/bin/env bash
# A fuzzing campaign: builds every libFuzzer target (clang, ASan + UBSan) in its own build tree,
# runs each one in turn for MINUTES, merges the inputs that add coverage back into the seed corpus
# in the repository (tests/fuzz/corpus/<corpus>/, review and commit them), and prints one line per
# target: executions, coverage (cov: edges, ft: features) and findings (crash, leak, timeout, oom files).
#
# Usage: scripts/fuzz.sh MINUTES [TARGET...]
#   MINUTES  per target, may be fractional (0.5 = 30 s)
#   TARGET   only these targets (default: every target, as ctest -L fuzz lists them)
# Environment:
#   VELMORA_FUZZ_BUILD  build tree (default: build-fuzz-campaign in the repository)
#   VELMORA_FUZZ_RUNS   also stop a target after this many executions
#   VELMORA_FUZZ_NICE   niceness of the runs (default 10)
# Working corpora, logs and findings stay in BUILD/campaign/<target>/. Exit status 1 when any target
# has a finding.
set -uo pipefail

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+([.][0-9]+)?$ ]]; then
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
minutes=$1; shift
seconds=$(awk -v m="$minutes" 'BEGIN { s = int(m * 60 + 0.5); print (s < 1 ? 1 : s) }')
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_FUZZ_BUILD:-$root/build-fuzz-campaign}
niceness=${VELMORA_FUZZ_NICE:-10}
runs=${VELMORA_FUZZ_RUNS:-}

if ! timeout 1800 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_SANITIZE=ON -DVELMORA_FUZZ=ON \
    -DVELMORA_BENCH=OFF > "$build.configure.log" 2>&1; then
  tail -30 "$build.configure.log"; exit 1
fi
# The targets are built before their commands are listed: ctest names no command for a test whose
# executable does not exist yet.
mapfile -t all < <(cd "$build" && ctest -N -L fuzz | sed -nE 's/^ *Test +#[0-9]+: (.*)$/\1/p')
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
for target in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $target "* ]] || { echo "unknown fuzz target $target (have: ${all[*]})"; exit 2; }
done
if ! nice -n "$niceness" timeout 3600 cmake --build "$build" -j2 --target "${targets[@]}" > "$build.build.log" 2>&1; then
  grep -E 'error' "$build.build.log" | head -30; tail -10 "$build.build.log"; exit 1
fi
# Each fuzz test runs TARGET ... ARTIFACT_PREFIX WORK_DIR SEED_DIR: the last word is the seed corpus.
mapfile -t listed < <(cd "$build" && ctest -N -V -L fuzz | tr -d '"' |
  sed -nE 's/^[0-9]+: Test command: ([^ ]+) .* ([^ ]+)$/\1 \2/p')
declare -A binary seed
for line in "${listed[@]}"; do
  path=${line%% *}; name=$(basename "$path")
  binary[$name]=$path; seed[$name]=${line#* }
done

# Short allocation stacks keep the runs fast; a finding is replayed with full ones.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:malloc_context_size=4}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}

rows=()
found=0
for target in "${targets[@]}"; do
  dir=$build/campaign/$target
  mkdir -p "$dir/corpus"
  log=$dir/fuzz.log
  limit=(-max_total_time="$seconds")
  # shellcheck disable=SC2207
  [ -f "$root/tests/fuzz/$target.options" ] && limit+=($(< "$root/tests/fuzz/$target.options"))
  [ -n "$runs" ] && limit+=(-runs="$runs")
  echo "== $target: ${seconds}s${runs:+ or $runs executions}, log $log"
  nice -n "$niceness" timeout $((seconds + 600)) "${binary[$target]}" "${limit[@]}" -timeout=25 \
    -print_final_stats=1 -artifact_prefix="$dir/" "$dir/corpus" "${seed[$target]}" > "$log" 2>&1
  code=$?
  # Keep what adds coverage to the seed corpus; the working corpus keeps everything for the next run.
  nice -n "$niceness" "${binary[$target]}" -merge=1 -timeout=25 "${seed[$target]}" "$dir/corpus" \
    > "$dir/merge.log" 2>&1
  executions=$(sed -nE 's/^stat::number_of_executed_units: ([0-9]+)/\1/p' "$log" | tail -1)
  stat=$(grep -E '^#[0-9]+' "$log" | grep -E ' cov: ' | tail -1)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$stat")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$stat")
  findings=$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) | wc -l)
  if [ "$findings" -eq 0 ] && [ "$code" -ne 0 ]; then findings="exit $code"; fi
  [ "$findings" != 0 ] && found=1
  rows+=("$(printf '%-26s %14s %8s %8s  %s' "$target" "${executions:-?}" "${cov:-?}" "${ft:-?}" "$findings")")
done

echo
printf '%-26s %14s %8s %8s  %s\n' target executions cov ft findings
printf '%s\n' "${rows[@]}"
echo "(findings and logs under $build/campaign/; corpus additions under tests/fuzz/corpus/)"
exit $found
