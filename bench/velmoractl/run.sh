#!/usr/bin/env bash
# Builds and runs velmoractl's start-up benchmark under Xvfb: `velmoractl --backend sim key menu`
# against the window's start-up to first expose, alternating, and prints both medians.
# Usage: bench/velmoractl/run.sh [BUILD_DIR]
exec bash "$(dirname "$0")/../run-under-xvfb.sh" velmoractl_bench bench/velmoractl/velmoractl_bench "$@"
