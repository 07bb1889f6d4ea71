#!/usr/bin/env bash
# How close a nudge through velmoractl serve comes to its time: NUDGES (200) requests
# POST /v1/keys/zoom-in/nudge {"ms": 300}, one after another, on simulated camera 0, each
# press-to-release time read off the trace's own clock (VELMORA_SIM_TRACE_TIME=1). Twice: idle, and
# while 50 keep-alive HTTP clients (velmora_click_load, each from a loopback address of its own)
# click menu on camera 1 through the same serve and the same camera queue, bounded to LOAD_CLICKS
# (3000000) clicks and the nudges' time. Prints p50, p99, the largest and the smallest error against
# 300 ms (never below 0: a release must not come early).
# Usage: bench/macros/run.sh [BUILD_DIR] (default build-tests/gcc-qt5; needs curl)
set -euo pipefail
build=${1:-build-tests/gcc-qt5}
nudges=${NUDGES:-200}
ms=300
# A build tree is brought up to date; a folder of built programs alone is used as it is.
[ ! -f "$build/CMakeCache.txt" ] || timeout 1800 cmake --build "$build" --target velmoractl velmora_click_load > /dev/null
ctl=$(realpath "$build/tools/velmoractl")
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2> /dev/null; rm -rf "$work"' EXIT

printf '[sim]\ntrace = %s\n[camera]\nname = One\n[camera]\nname = Two\n' "$work/trace" > "$work/sim.conf"

start() {
  rm -f "$work/trace" "$work/err"
  VELMORA_SIM_TRACE_TIME=1 "$ctl" --backend sim --sim-config "$work/sim.conf" serve --http 127.0.0.1:0 \
    --quiet --no-release-at-start 2> "$work/err" &
  server=$!
  for _ in $(seq 100); do grep -q '/v1/ on' "$work/err" 2> /dev/null && break; sleep 0.05; done
  port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/v1/.*|\1|p' "$work/err")
}
stop() { kill -TERM "$server"; wait "$server" || true; server=; }

nudge_all() {
  for ((i = 0; i < nudges; i++)); do
    timeout 10 curl -sf -X POST -H 'Content-Type: application/json' -d "{\"ms\": $ms}" \
      "http://127.0.0.1:$port/v1/keys/zoom-in/nudge" > /dev/null
  done
}

source "$(dirname "$0")/../nudge_errors.sh"
ERRORS=$work/errors.txt
report() { nudge_errors "$work/trace" "$ms" "$nudges"; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
echo "== serve, nudge $ms ms on camera 0, $nudges times, idle: error against $ms ms"
start
nudge_all
stop
report

echo "== the same while 50 HTTP clients click menu on camera 1"
start
seconds=$((nudges * (ms + 100) / 1000 + 30))
timeout $((seconds + 30)) "$build/bench/macros/velmora_click_load" "$port" 50 "$seconds" "${LOAD_CLICKS:-3000000}" \
  "/v1/keys/menu/click?device=1" > "$work/load.txt" &
load=$!
sleep 1
nudge_all
clicks=$(grep -c ' 05 BD t=' "$work/trace" || true)
kill -TERM "$load" 2> /dev/null || true
wait "$load" || true
stop
report
echo "  camera 1 clicked $clicks times while the nudges ran; the clients' $(cat "$work/load.txt") (by HTTP status)"
