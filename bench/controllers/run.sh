#!/usr/bin/env bash
# velmoractl serve --gamepad on the simulated camera, against a virtual Xbox 360 pad (uinput):
#  1. COUNT (200) presses of A (menu), GAP_MS (100) apart: from the evdev event written to the MENU
#     packet on the camera's trace (VELMORA_SIM_TRACE_TIME=1: both stamped with the monotonic clock),
#     p50 and p99;
#  2. in the same run, the same presses over serve's WebSocket (velmora-ws-presses): from the message
#     written to the packet, p50 and p99;
#  3. serve's CPU over IDLE_SECONDS (60) with the pad connected and nothing moving.
# Needs /dev/uinput (the kernel's uinput module, which no container here has: the e2e VM runs it,
# VELMORA_E2E_ONLY=bench_controllers bash tests/e2e/run-e2e.sh). Exit 77 where it cannot run.
# Usage: bench/controllers/run.sh [BUILD_DIR] (default build-tests/gcc-qt5)
set -uo pipefail
build=$(realpath "${1:-build-tests/gcc-qt5}")
count=${COUNT:-200}
gap=${GAP_MS:-100}
idle=${IDLE_SECONDS:-60}
[ -w /dev/uinput ] || { echo "bench/controllers: no writable /dev/uinput here (module uinput)"; exit 77; }
for program in tools/velmoractl tests/e2e/velmora-virtual-pad bench/controllers/velmora-ws-presses; do
  [ -x "$build/$program" ] || { echo "bench/controllers: $build/$program is not built"; exit 2; }
done
work=$(mktemp -d)
serve=
pad=
cleanup() {
  [ -n "$pad" ] && { echo quit >&8; wait "$pad"; } 2> /dev/null
  [ -n "$serve" ] && kill -TERM "$serve" 2> /dev/null && wait "$serve"
  rm -rf "$work"
}
trap cleanup EXIT
mkfifo /tmp/velmora-bench-nap.$$ && exec 9<> /tmp/velmora-bench-nap.$$ && rm /tmp/velmora-bench-nap.$$
nap() { read -rt "$1" -u 9 _ || true; }
wait_for() {  # tenths of a second, command...
  local tries=$1; shift
  while [ "$tries" -gt 0 ]; do "$@" && return 0; nap 0.1; tries=$((tries - 1)); done
  return 1
}
said() { grep -q "$1" "$work/serve.err"; }

printf '[camera]\nname = USB Camera\n' > "$work/sim.conf"
VELMORA_SIM_TRACE="$work/trace" VELMORA_SIM_TRACE_TIME=1 "$build/tools/velmoractl" --backend sim \
  --sim-config "$work/sim.conf" serve --http 127.0.0.1:0 --gamepad any --quiet --no-release-at-start \
  2> "$work/serve.err" &
serve=$!
wait_for 600 said '/v1/ on' || { echo "bench/controllers: serve did not start: $(cat "$work/serve.err")"; exit 1; }
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/v1/.*|\1|p' "$work/serve.err")
mkfifo "$work/pad.in"
"$build/tests/e2e/velmora-virtual-pad" < "$work/pad.in" > "$work/pad.out" 2>&1 &
pad=$!
exec 8> "$work/pad.in"
wait_for 600 said 'gamepad 0 (.*) connected' || { echo "bench/controllers: serve did not take the pad"; exit 1; }

half=$(printf '%d.%03d' $((gap / 2000)) $((gap / 2 % 1000)))
for ((i = 0; i < count; i++)); do
  echo "button a 1" >&8; nap "$half"
  echo "button a 0" >&8; nap "$half"
done
wait_for 600 test "$(grep -c 'data=26 16 00 00 00 01 00 00 00 00 05 ' "$work/trace")" -ge "$count"
"$build/bench/controllers/velmora-ws-presses" "$port" menu "$count" "$gap" > "$work/ws.out" ||
  { echo "bench/controllers: the WebSocket presses failed"; exit 1; }
before=$(awk '{ print $14 + $15 }' "/proc/$serve/stat")
nap "$idle"
after=$(awk '{ print $14 + $15 }' "/proc/$serve/stat")

# The k-th MENU packet on the trace answers the k-th press: the pad's first, then the socket's.
grep 'data=26 16 00 00 00 01 00 00 00 00 05 ' "$work/trace" | sed 's/.* t=//' > "$work/packets"
grep '^sent t=.* button a 1' "$work/pad.out" | sed 's/^sent t=\([0-9.]*\) .*/\1/' > "$work/pad.sent"
sed 's/^sent t=//' "$work/ws.out" > "$work/ws.sent"
packets=$(wc -l < "$work/packets")
[ "$packets" -eq $((2 * count)) ] || { echo "bench/controllers: $packets MENU packets on the trace, not $((2 * count))"; exit 1; }
# p50 and p99 in milliseconds of packet time minus sent time, lines first..first+count-1 of packets.
stats() {
  sed -n "$1,$(($1 + count - 1))p" "$work/packets" > "$work/slice"
  paste "$2" "$work/slice" | awk '{ printf "%.3f\n", ($2 - $1) * 1000 }' |
    sort -n | awk '{ v[NR] = $1 } END { printf "p50 %.2f ms, p99 %.2f ms, max %.2f ms (%d presses)", v[int(NR * 0.5 + 0.5)], v[int(NR * 0.99 + 0.5)], v[NR], NR }'
}
echo "gamepad (evdev event to packet): $(stats 1 "$work/pad.sent")"
echo "WebSocket (message to packet):   $(stats $((count + 1)) "$work/ws.sent")"
echo "serve's CPU over $idle s idle with the pad connected: $((after - before)) tick(s) of 1/$(getconf CLK_TCK) s"
