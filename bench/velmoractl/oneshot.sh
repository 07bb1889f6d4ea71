#!/usr/bin/env bash
# Builds and runs velmoractl's one-shot benchmark: `velmoractl --backend sim key menu` and
# `velmoractl --backend native list` against `v4l2-ctl --list-devices` (alternating, medians, ratios),
# and the cost per command of a batch of 1000 key presses against 1000 one-shot runs.
# Usage: bench/velmoractl/oneshot.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
runs=${2:-41}
command -v v4l2-ctl >/dev/null || bash "$root/scripts/deps.sh" bench

type=()
[ -f "$build/CMakeCache.txt" ] || type=(-DCMAKE_BUILD_TYPE=Release)
cmake -S "$root" -B "$build" -G Ninja "${type[@]}" > "$build.configure.log" 2>&1 ||
  { tail -20 "$build.configure.log"; exit 1; }
cmake --build "$build" --target velmoractl_oneshot_bench -- -j2 > "$build.build.log" 2>&1 ||
  { tail -30 "$build.build.log"; exit 1; }
"$build/bench/velmoractl/velmoractl_oneshot_bench" "$runs"
