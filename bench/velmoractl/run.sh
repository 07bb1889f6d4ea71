#!/usr/bin/env bash
# Builds and runs velmoractl's start-up benchmark under Xvfb: `velmoractl --backend sim key menu`
# against the window's start-up to first expose, alternating, and prints both medians.
# Usage: bench/velmoractl/run.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}

type=()
[ -f "$build/CMakeCache.txt" ] || type=(-DCMAKE_BUILD_TYPE=Release)
cmake -S "$root" -B "$build" -G Ninja "${type[@]}" > "$build.configure.log" 2>&1 ||
  { tail -20 "$build.configure.log"; exit 1; }
cmake --build "$build" --target velmoractl_bench -- -j2 > "$build.build.log" 2>&1 ||
  { tail -30 "$build.build.log"; exit 1; }

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  "$build/bench/velmoractl/velmoractl_bench" --benchmark_counters_tabular=true
