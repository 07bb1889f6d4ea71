#!/usr/bin/env bash
# Builds and runs the start-up benchmark under Xvfb and prints the ratios.
# Usage: bench/startup/run.sh [BUILD_DIR]   (VELMORA_STARTUP_ROUNDS sets the launches of each; 20)
exec bash "$(dirname "$0")/../run-under-xvfb.sh" velmora_startup_bench bench/startup/velmora_startup_bench "$@"
