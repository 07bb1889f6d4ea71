#!/usr/bin/env bash
# Builds Velmora and runs it on the simulated cameras.
#
# With a display it opens the window. Without one it starts the window under Xvfb, clicks the menu
# key, prints the extension-unit requests that the click sent to the simulated camera, opens the
# device list, saves a screenshot and exits 0.
#
# Usage: scripts/demo.sh [--headless] [--screenshot FILE] [--dpi N]
#   --headless         use Xvfb even when a display is there
#   --screenshot FILE  where the picture goes (default: build-demo/velmora.png)
#   --dpi N            the Xvfb display's resolution, as a desktop sets it (default 96, 100 %;
#                      144 is 150 %)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_DEMO_BUILD:-$root/build-demo}
headless=0
[ -n "${DISPLAY:-}" ] || headless=1
screenshot=""
dpi=96
while [ $# -gt 0 ]; do
  case "$1" in
    --headless) headless=1 ;;
    --screenshot) screenshot=$2; shift ;;
    --dpi) dpi=$2; shift ;;
    *) echo "demo.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
case "$dpi" in
  '' | *[!0-9]* | 0*) echo "demo.sh: --dpi takes a whole number of dots per inch, such as 144" >&2; exit 2 ;;
esac
screenshot=${screenshot:-$build/velmora.png}
case "$screenshot" in /*) ;; *) screenshot=$PWD/$screenshot ;; esac

bash "$root/scripts/deps.sh" build demo

echo "demo: building in $build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF \
  > "$build/configure.log" 2>&1 || { tail -20 "$build/configure.log"; exit 1; }
cmake --build "$build" --target velmora -- -j2 > "$build/build.log" 2>&1 || { tail -30 "$build/build.log"; exit 1; }
velmora=$build/app/velmora

export VELMORA_BACKEND=sim
unset VELMORA_SIM_CONFIG

if [ "$headless" -eq 0 ]; then
  echo "demo: starting Velmora on two simulated cameras"
  exec "$velmora"
fi

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

source "$root/scripts/x-display.sh"
# The screen and every position in the window grow with the display's scale.
at() { echo $(($1 * dpi / 96)); }
start_xvfb "$(at 640)x$(at 600)x24" "$build/xvfb.log" -dpi "$dpi" -noreset ||
  { echo "demo: Xvfb did not start" >&2; exit 1; }
pids+=("$xvfb_pid")
set_display_dpi "$dpi"

trace=$build/demo.trace
: > "$trace"
echo "demo: starting Velmora on two simulated cameras under Xvfb $DISPLAY (trace: $trace)"
VELMORA_SIM_TRACE=$trace "$velmora" > "$build/velmora.log" 2>&1 &
pids+=($!)

window=$(wait_window 20 "UVC") || true
[ -n "$window" ] || { echo "demo: the window did not appear" >&2; cat "$build/velmora.log"; exit 1; }
sleep 0.5
echo "demo: the window is up; its start-up status reads sent $(wc -l < "$trace") extension-unit requests"

# The menu key: x 210..310, y 200..251 in the window.
before=$(wc -l < "$trace")
xdotool mousemove --window "$window" "$(at 260)" "$(at 225)" click 1
for _ in $(seq 50); do
  [ "$(wc -l < "$trace")" -gt "$before" ] && break
  sleep 0.1
done
sleep 0.2
echo "demo: clicking the menu key (主菜单) sent:"
tail -n +"$((before + 1))" "$trace" | sed 's/^/  /'
[ "$(wc -l < "$trace")" -gt "$before" ] || { echo "demo: the click sent nothing" >&2; exit 1; }

# Open the device list so the picture shows both cameras.
xdotool mousemove --window "$window" "$(at 250)" "$(at 35)" click 1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
mkdir -p "$(dirname "$screenshot")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
xdotool key Escape
echo "demo: screenshot saved to $screenshot"
