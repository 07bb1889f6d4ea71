#!/usr/bin/env bash
# How close a nudge's release comes to its time: NUDGES lines `key zoom-in nudge 300` in one
# velmoractl batch on the simulated camera, each press-to-release time read off the trace's own
# clock (VELMORA_SIM_TRACE_TIME=1: " t=SECONDS" on each line, the monotonic clock when the request
# returned). Prints p50, p99 and the largest error against 300 ms, and the smallest (never below 0:
# a release must not come early).
# Usage: bench/velmoractl/nudge.sh [BUILD_DIR] [NUDGES]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
nudges=${2:-200}
ms=300

type=()
[ -f "$build/CMakeCache.txt" ] || type=(-DCMAKE_BUILD_TYPE=Release)
cmake -S "$root" -B "$build" -G Ninja "${type[@]}" > "$build.configure.log" 2>&1 ||
  { tail -20 "$build.configure.log"; exit 1; }
cmake --build "$build" --target velmoractl -- -j2 > "$build.build.log" 2>&1 ||
  { tail -30 "$build.build.log"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((i = 0; i < nudges; i++)); do echo "key zoom-in nudge $ms"; done > "$work/nudges.txt"
VELMORA_SIM_TRACE="$work/trace.txt" VELMORA_SIM_TRACE_TIME=1 timeout $((nudges * ms / 1000 + 120)) \
  "$build/tools/velmoractl" --backend sim batch "$work/nudges.txt" > /dev/null
echo "velmoractl nudge $ms ms, $nudges times (one batch, simulated camera): error against $ms ms"
source "$root/bench/nudge_errors.sh"
ERRORS=$work/errors.txt nudge_errors "$work/trace.txt" "$ms" "$nudges"
