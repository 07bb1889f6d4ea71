#!/usr/bin/env bash
# velmoractl serve under load on the simulated camera, side by side with velmoractl batch:
#  1. trace on: ab sends exactly CLICKS menu clicks from 50 keep-alive clients; the camera's trace
#     must hold exactly CLICKS size queries and CLICKS MENU packets, nothing else; serve's RSS and
#     open descriptors are sampled every 0.2 s;
#  2. trace off: wrk, 50 connections on 2 threads for WRK_SECONDS (6): requests per second, p50,
#     p99; then ab's CLICKS again;
#  3. the same CLICKS clicks through one 'velmoractl batch' (trace off), timed.
# Usage: bench/serve/run.sh [BUILD_DIR] (default build-tests/gcc-qt5; needs wrk and ab: scripts/deps.sh bench)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-tests/gcc-qt5}
ctl=$(realpath "$build/tools/velmoractl")
clicks=${CLICKS:-100000}
work=$(mktemp -d)
trap 'kill "$server" 2> /dev/null || true; rm -rf "$work"' EXIT

printf '[camera]\nname = USB Camera\n' > "$work/sim.conf"
printf '{}' > "$work/body.json"

# Starts serve (trace to $1, or none) and sets server and port.
start() {
  rm -f "$work/err"
  env ${1:+VELMORA_SIM_TRACE=$1} "$ctl" --backend sim --sim-config "$work/sim.conf" serve --http 127.0.0.1:0 \
    --quiet 2> "$work/err" &
  server=$!
  for _ in $(seq 100); do grep -q '/v1/ on' "$work/err" 2> /dev/null && break; sleep 0.05; done
  port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/v1/.*|\1|p' "$work/err")
}
stop() { kill -TERM "$server"; wait "$server" || true; }

# RSS (kB) and open descriptors of the server, every 0.2 s, until it ends.
sample() {
  while [ -d "/proc/$server" ]; do
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$server/status" 2> /dev/null) || break
    fds=$(ls "/proc/$server/fd" 2> /dev/null | wc -l)
    echo "$rss $fds"
    sleep 0.2
  done
}
spread() { # min and max of column $1 after the first $2 samples
  awk -v c="$1" -v skip="$2" 'NR > skip { if (min == "" || $c < min) min = $c; if ($c > max) max = $c }
    END { printf "%s..%s", min, max }' "$3"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
url="http://127.0.0.1:PORT/v1/keys/menu/click"

echo "== 1. $clicks clicks with ab, 50 keep-alive clients, trace on"
start "$work/trace"
sample > "$work/samples" &
sampler=$!
ab -q -k -n "$clicks" -c 50 -p "$work/body.json" -T application/json "${url/PORT/$port}" > "$work/ab-trace.txt"
sleep 0.5
stop; wait "$sampler" || true
grep -E 'Complete requests|Failed requests|Non-2xx|Requests per second|  50%|  99%' "$work/ab-trace.txt"
sets=$(grep -c '^SET .* data=26 16 00 00 00 01 00 00 00 00 05 BD$' "$work/trace" || true)
lens=$(grep -c '^LEN ' "$work/trace" || true)
other=$(grep -vc -e '^LEN ' -e '^SET .* data=26 16 00 00 00 01 00 00 00 00 05 BD$' "$work/trace" || true)
echo "trace: $sets MENU packets, $lens size queries, $other other lines (expected $clicks, $clicks, 0)"
count=$(wc -l < "$work/samples")
echo "serve RSS kB $(spread 1 0 "$work/samples") over the run, $(spread 1 $((count / 5)) "$work/samples") after the first fifth;" \
  "descriptors $(spread 2 $((count / 5)) "$work/samples") after the first fifth ($count samples)"
echo "RSS kB and descriptors at each fifth of the run: $(awk -v n="$count" 'NR % int(n / 5 + 1) == 0 || NR == n { printf "%s/%s ", $1, $2 }' "$work/samples")"

echo "== 2. trace off: wrk, 2 threads, 50 connections, ${WRK_SECONDS:-6} s; then ab, $clicks clicks"
start ""
cpu() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }
before=$(cpu)
wrk -t2 -c50 -d"${WRK_SECONDS:-6}"s --latency -s "$here/click.lua" "${url/PORT/$port}" > "$work/wrk.txt"
grep -E 'requests in|Requests/sec|Non-2xx|Socket errors|^ +(50|99)%' "$work/wrk.txt"
served=$(awk '/requests in/ { print $1 }' "$work/wrk.txt")
awk -v t="$(( $(cpu) - before ))" -v hz="$(getconf CLK_TCK)" -v n="$served" \
  'BEGIN { printf "serve used %.2f s of CPU (both threads): %.1f us a click\n", t / hz, t / hz * 1e6 / n }'
ab -q -k -n "$clicks" -c 50 -p "$work/body.json" -T application/json "${url/PORT/$port}" > "$work/ab.txt"
grep -E 'Complete requests|Failed requests|Non-2xx|Requests per second|  50%|  99%' "$work/ab.txt"
stop

echo "== 3. $clicks clicks through one velmoractl batch, trace off"
seq "$clicks" | sed 's/.*/key menu/' > "$work/batch.txt"
t0=$(date +%s.%N)
"$ctl" --backend sim --sim-config "$work/sim.conf" batch "$work/batch.txt" > /dev/null
t1=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" -v n="$clicks" 'BEGIN { printf "batch: %.2f s, %.0f clicks/s, %.1f us a click\n", b - a, n / (b - a), (b - a) * 1e6 / n }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
