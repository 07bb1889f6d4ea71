#!/usr/bin/env bash
# The keyboard by screen input, not Qt calls: under Xvfb, Up held down with xdotool (long enough
# for the X server's auto-repeat) and let go puts exactly the zoom-in press and its release on the
# simulated camera's trace. Then zoom-in held with the mouse and SIGTERM twice at once (as timeout
# sends it): the release goes out once and the window exits 0.
# Usage: keyboard_xdotool.sh VELMORA_BINARY   (exits 77, skipped, without Xvfb or xdotool)
set -euo pipefail
velmora=$1
for tool in Xvfb xdotool; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh build)"; exit 77; }
done

source "$(dirname "$0")/../../scripts/x-display.sh"
x_scratch
start_xvfb 640x600x24 "$work/xvfb.log" || fail "Xvfb did not start"
pids+=("$xvfb_pid")
export XDG_RUNTIME_DIR=$work

trace=$work/trace
: > "$trace"
# No GLX (the window draws no OpenGL): under ASan, Mesa's software driver that GLX loads leaves an
# allocation that LeakSanitizer reports, unnamed, once the plugin is unloaded at exit.
QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none VELMORA_BACKEND=sim VELMORA_SIM_TRACE=$trace VELMORA_SIM_CONFIG= \
  "$velmora" > "$work/velmora.log" 2>&1 &
velmora_pid=$!
pids+=($!)
window=$(wait_window 30 "UVC") || true
[ -n "$window" ] || fail "the window did not appear"
# No window manager: give the window the keyboard focus. The device list has it first and keeps Up
# and Down; Tab moves it on to the keys.
xdotool windowfocus --sync "$window"
sleep 0.5
xdotool key Tab
sleep 0.3

before=$(wc -l < "$trace")
xdotool keydown Up
sleep 1.5
xdotool keyup Up
for _ in $(seq 50); do
  [ "$(grep -c '^SET' < <(tail -n +"$((before + 1))" "$trace"))" -ge 2 ] && break
  sleep 0.1
done
sleep 0.5

sent=$(tail -n +"$((before + 1))" "$trace" | sed -n 's/^SET .* data=//p')
expected=$'26 16 00 00 00 01 00 00 00 00 03 BF\n26 16 00 00 00 01 00 00 00 00 16 AC'
[ "$sent" = "$expected" ] || fail "holding Up sent:"$'\n'"${sent:-nothing}"$'\n'"expected:"$'\n'"$expected"
echo "holding Up and letting go sent the zoom-in press and its release, nothing else"

before=$(wc -l < "$trace")
# The form's zoom-in button (放大) is at 210,130, 100 x 51.
xdotool mousemove --window "$window" 260 155 mousedown 1
for _ in $(seq 50); do
  grep -q '^SET' < <(tail -n +"$((before + 1))" "$trace") && break
  sleep 0.1
done
kill -TERM "$velmora_pid"
kill -TERM "$velmora_pid"
code=0
wait "$velmora_pid" || code=$?
xdotool mouseup 1 || true
sent=$(tail -n +"$((before + 1))" "$trace" | sed -n 's/^SET .* data=//p')
[ "$code" -eq 0 ] && [ "$sent" = "$expected" ] ||
  fail "SIGTERM with zoom-in held by the mouse: exit $code, sent:"$'\n'"${sent:-nothing}"$'\n'"expected:"$'\n'"$expected"
echo "SIGTERM twice with zoom-in held by the mouse sent its release once and the window exited 0"
