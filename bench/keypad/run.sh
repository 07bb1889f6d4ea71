#!/usr/bin/env bash
# The keypad page's weight and its pointerdown-to-reply latency over the WebSocket, side by side with
# the same presses as HTTP requests from the same page, at phone size in chromium on the simulated
# camera (bench/keypad/keypad-bench.mjs).
# Usage: bench/keypad/run.sh [BUILD_DIR] (default build-tests/gcc-qt5); PRESSES (1000) in all, half each
# way; INPUT=mouse presses with the mouse instead of a finger.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-build-tests/gcc-qt5}")
modules=$(bash "$here/../../tests/browser/install.sh" "$(dirname "$build")/browser-node")
VELMORACTL=$build/tools/velmoractl VELMORA_NODE_MODULES=$modules timeout 1200 node "$here/keypad-bench.mjs"
