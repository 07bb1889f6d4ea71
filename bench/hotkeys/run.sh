#!/usr/bin/env bash
# Latency of the keys through the X server, side by side in one run under Xvfb: a hotkey
# (Ctrl+Alt+Up, grabbed on the root window), the window's own keyboard (Up) and a mouse click on the
# zoom-in button, each pressed ROUNDS times (200) in turn. Each latency is from the moment the input
# went to the X server (XTEST, tests/hotkeys/x_input.cpp) to the packet on the simulated camera's
# trace (VELMORA_SIM_TRACE_TIME=1, the same monotonic clock): the press and the release, p50 and p99.
# Usage: bench/hotkeys/run.sh [BUILD_DIR]   (VELMORA_HOTKEY_ROUNDS sets the presses of each; 200)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
rounds=${VELMORA_HOTKEY_ROUNDS:-200}

type=()
[ -f "$build/CMakeCache.txt" ] || type=(-DCMAKE_BUILD_TYPE=Release)
cmake -S "$root" -B "$build" -G Ninja "${type[@]}" > "$build.configure.log" 2>&1 ||
  { tail -20 "$build.configure.log"; exit 1; }
cmake --build "$build" --target velmora velmora-x-input -- -j2 > "$build.build.log" 2>&1 ||
  { tail -30 "$build.build.log"; exit 1; }
velmora=$build/app/velmora
input=$build/tests/hotkeys/velmora-x-input

source "$root/scripts/x-display.sh"
x_scratch
start_xvfb 800x600x24 "$work/xvfb.log"
pids+=("$xvfb_pid")
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XDG_SESSION_TYPE VELMORA_HOTKEY_BACKEND

trace=$work/trace
QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none VELMORA_BACKEND=sim VELMORA_SIM_TRACE=$trace VELMORA_SIM_TRACE_TIME=1 \
  VELMORA_SIM_CONFIG= "$velmora" --hotkeys > "$work/velmora.log" 2>&1 &
pids+=($!)
window=$(wait_window 30 "UVC")
sleep 1
xdotool windowfocus --sync "$window"
"$input" down:Tab up:Tab > /dev/null  # the focus from the device list to the keys
eval "$(xdotool getwindowgeometry --shell "$window")"
# The form's zoom-in button (放大) is at 210,130, 100 x 51.
button_x=$((X + 260)) button_y=$((Y + 155))
sleep 0.5

start=$(wc -l < "$trace")
# Each gesture waits for its two packets on the trace before the next: the hotkey's connection and
# the window's are read apart, and a key that comes while the last one still holds is ignored (one
# key at a time).
steps=()
lines=$start
for _ in $(seq "$rounds"); do
  steps+=(down:Ctrl down:Alt down:Up sleep:30 up:Up up:Alt up:Ctrl lines:$((lines += 2)):$trace sleep:20)
  steps+=(down:Up sleep:30 up:Up lines:$((lines += 2)):$trace sleep:20)
  steps+=(move:$button_x,$button_y press:1 sleep:30 release:1 lines:$((lines += 2)):$trace sleep:20)
done
"$input" "${steps[@]}" > "$work/input"
sleep 1

# The moments each gesture's press and release went to the server, in order, three gestures a round.
awk '/^down:Up /{sub("t=", "", $2); print "press", $2} /^press:1 /{sub("t=", "", $2); print "press", $2}
     /^up:Up /{sub("t=", "", $2); print "release", $2} /^release:1 /{sub("t=", "", $2); print "release", $2}' \
  "$work/input" > "$work/sent"
# The packets, in order: zoom-in's press and the release.
tail -n +"$((start + 1))" "$trace" | sed -n 's/^SET .* data=26 16 00 00 00 01 00 00 00 00 \(03 BF\|16 AC\) t=\(.*\)/\1 \2/p' |
  sed 's/^03 BF/press/; s/^16 AC/release/' > "$work/packets"
if [ "$(wc -l < "$work/sent")" -ne $((6 * rounds)) ] || [ "$(cut -d' ' -f1 "$work/sent")" != "$(cut -d' ' -f1 "$work/packets")" ]; then
  echo "the packets do not pair with the input: $(wc -l < "$work/sent") inputs, $(wc -l < "$work/packets") packets" >&2
  exit 1
fi
paste -d' ' "$work/sent" "$work/packets" |
  awk '{kind = (int((NR - 1) / 2) % 3); print kind, $1, ($4 - $2) * 1000}' > "$work/latencies"

percentile() { sort -g | awk -v p="$1" '{v[NR] = $1} END {i = int(NR * p / 100 + 0.999999); if (i < 1) i = 1; printf "%.2f", v[i]}'; }
stat() { awk -v k="$1" -v e="$2" '$1 == k && $2 == e {print $3}' "$work/latencies" | percentile "$3"; }
echo "X server input to packet on the trace, ms ($rounds presses of each, one run, interleaved):"
printf '%-32s %10s %10s %12s %12s\n' "" "press p50" "press p99" "release p50" "release p99"
names=("hotkey Ctrl+Alt+Up (root grab)" "window keyboard Up" "mouse click on zoom-in")
for kind in 0 1 2; do
  printf '%-32s %10s %10s %12s %12s\n' "${names[$kind]}" "$(stat $kind press 50)" "$(stat $kind press 99)" \
    "$(stat $kind release 50)" "$(stat $kind release 99)"
done
