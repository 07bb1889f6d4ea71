#!/usr/bin/env bash
# Builds one benchmark target and runs it under Xvfb (the benchmarks time real windows).
# Usage: bench/run-under-xvfb.sh TARGET BINARY_PATH_IN_BUILD [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=$1
binary=$2
build=${3:-$root/build-bench}

type=()
[ -f "$build/CMakeCache.txt" ] || type=(-DCMAKE_BUILD_TYPE=Release)
cmake -S "$root" -B "$build" -G Ninja "${type[@]}" > "$build.configure.log" 2>&1 ||
  { tail -20 "$build.configure.log"; exit 1; }
cmake --build "$build" --target "$target" -- -j2 > "$build.build.log" 2>&1 ||
  { tail -30 "$build.build.log"; exit 1; }

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  "$build/$binary" --benchmark_counters_tabular=true
