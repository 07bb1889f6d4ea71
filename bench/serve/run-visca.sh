#!/usr/bin/env bash
# velmoractl serve --visca under load on the simulated camera: DATAGRAMS (100000) datagrams from 20
# controllers on loopback (bench/serve/visca_load.cpp), every 10th command sent twice:
#  1. trace on: every datagram answered with ACK and Completion, each key's presses on the camera's
#     trace exactly the commands that press it, every hold ended by one release, none left at the end
#     (and serve says it released none when it stops);
#  2. trace off: datagrams per second, and serve's CPU time a datagram.
# Usage: bench/serve/run-visca.sh [BUILD_DIR] (default build-tests/gcc-qt5; target velmora_visca_load)
set -euo pipefail
build=${1:-build-tests/gcc-qt5}
ctl=$(realpath "$build/tools/velmoractl")
load=$(realpath "$build/bench/serve/velmora_visca_load")
datagrams=${DATAGRAMS:-100000}
work=$(mktemp -d)
trap 'kill "$server" 2> /dev/null || true; rm -rf "$work"' EXIT
printf '[camera]\nname = USB Camera\n' > "$work/sim.conf"

# Starts serve --visca --quiet (trace to $1, or none) and sets server and port.
start() {
  rm -f "$work/err"
  env ${1:+VELMORA_SIM_TRACE=$1} "$ctl" --backend sim --sim-config "$work/sim.conf" serve --visca 127.0.0.1:0 \
    --quiet 2> "$work/err" &
  server=$!
  for _ in $(seq 100); do grep -q '(VISCA) on' "$work/err" 2> /dev/null && break; sleep 0.05; done
  port=$(sed -n 's|.*udp 127.0.0.1:\([0-9]*\) (VISCA.*|\1|p' "$work/err")
}
stop() { kill -TERM "$server"; wait "$server" || true; tail -1 "$work/err"; }
cpu() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
echo "== 1. $datagrams datagrams from 20 senders, trace on"
start "$work/trace"
"$load" "$port" --datagrams "$datagrams" --trace "$work/trace"
stop

echo "== 2. $datagrams datagrams from 20 senders, trace off"
start ""
before=$(cpu)
"$load" "$port" --datagrams "$datagrams"
awk -v t="$(( $(cpu) - before ))" -v hz="$(getconf CLK_TCK)" -v n="$datagrams" \
  'BEGIN { printf "serve used %.2f s of CPU (both threads): %.1f us a datagram\n", t / hz, t / hz * 1e6 / n }'
stop
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
