#!/usr/bin/env bash
# Runs the display-scale test on an X server that says it has DPI dots per inch, as a desktop at
# DPI / 96 of its normal scale does: the server's own resolution, and Xft.dpi in its resources.
# Usage: display_scale.sh TEST_BINARY DPI   (exits 77, skipped, without Xvfb or xrdb)
set -euo pipefail
binary=$1 dpi=$2
for tool in Xvfb xrdb; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh build)"; exit 77; }
done

work=$(mktemp -d) xvfb_pid=""
trap 'kill "$xvfb_pid" 2> /dev/null || true; wait "$xvfb_pid" 2> /dev/null || true; rm -rf "$work"' EXIT
source "$(dirname "$0")/../../scripts/x-display.sh"
start_xvfb 1600x1200x24 "$work/xvfb.log" -dpi "$dpi" -noreset || { echo "FAIL: Xvfb did not start"; exit 1; }
set_display_dpi "$dpi"
# The display's scale alone: none of the user's own Qt scaling settings. No OpenGL: the GL driver,
# unloaded at exit, leaves allocations the leak checker cannot name.
env -u QT_SCALE_FACTOR -u QT_ENABLE_HIGHDPI_SCALING -u QT_AUTO_SCREEN_SCALE_FACTOR \
  -u QT_SCREEN_SCALE_FACTORS -u QT_SCALE_FACTOR_ROUNDING_POLICY -u QT_FONT_DPI -u QT_DEVICE_PIXEL_RATIO \
  QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none XDG_RUNTIME_DIR="$work" VELMORA_TEST_DPI="$dpi" "$binary"
