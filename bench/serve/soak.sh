#!/usr/bin/env bash
# velmoractl serve on the simulated camera under every kind of client at once for SECONDS (600):
# 50 HTTP clients clicking, 20 WebSocket clients pressing and dropping their sockets, 20 VISCA
# senders driving and stopping, 3 clients sending requests that never end (bench/serve/serve_soak.cpp).
# Serve's RSS and open descriptors are sampled every second and shown a minute at a time; then the
# camera's trace is checked: every press of a key that holds is followed by a release, and none is
# held at the end. Exit 1 when serve crashed, a kind of client got nowhere, or a key was left held.
# Usage: bench/serve/soak.sh [BUILD_DIR] [SECONDS]   (default build-tests/gcc-qt5, 600; target
#        velmora_serve_soak)
set -euo pipefail
build=${1:-build-tests/gcc-qt5}
seconds=${2:-600}
ctl=$(realpath "$build/tools/velmoractl")
soak=$(realpath "$build/bench/serve/velmora_serve_soak")
work=$(mktemp -d)
trap 'kill "$server" 2> /dev/null || true; rm -rf "$work"' EXIT
printf '[camera]\nname = USB Camera\n' > "$work/sim.conf"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
VELMORA_SIM_TRACE=$work/trace "$ctl" --backend sim --sim-config "$work/sim.conf" serve --http 127.0.0.1:0 \
  --visca 127.0.0.1:0 --quiet 2> "$work/err" &
server=$!
for _ in $(seq 100); do grep -q '/v1/ on' "$work/err" 2> /dev/null && break; sleep 0.05; done
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/v1/.*|\1|p' "$work/err")
visca=$(sed -n 's|.*udp 127.0.0.1:\([0-9]*\) (VISCA.*|\1|p' "$work/err")

# Seconds since the start, RSS (kB) and open descriptors of serve, every second, until it ends.
(
  start=$SECONDS
  while [ -d "/proc/$server" ]; do
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$server/status" 2> /dev/null) || break
    echo "$((SECONDS - start)) $rss $(ls "/proc/$server/fd" 2> /dev/null | wc -l)"
    sleep 1
  done
) > "$work/samples" &
sampler=$!

clients=0
timeout $((seconds + 120)) "$soak" "$port" "$visca" "$seconds" || clients=$?
sleep 1
crashed=0
kill -0 "$server" 2> /dev/null || crashed=1
kill -TERM "$server" 2> /dev/null || true
code=0
wait "$server" || code=$?
wait "$sampler" || true
echo "serve: exit $code; $(tail -1 "$work/err")"

echo "serve's RSS (kB) and descriptors, each minute (min..max):"
awk '{ m = int($1 / 60); if (!(m in rmin) || $2 < rmin[m]) rmin[m] = $2; if ($2 > rmax[m]) rmax[m] = $2;
       if (!(m in fmin) || $3 < fmin[m]) fmin[m] = $3; if ($3 > fmax[m]) fmax[m] = $3; if (m > last) last = m }
     END { for (m = 0; m <= last; m++) printf "  minute %2d: RSS %s..%s, descriptors %s..%s\n", m + 1, rmin[m], rmax[m], fmin[m], fmax[m] }' \
  "$work/samples"
awk -v end="$seconds" '$1 < 60 || $1 >= end { next } { if (min == "" || $2 < min) min = $2; if ($2 > max) max = $2;
     if (fmin == "" || $3 < fmin) fmin = $3; if ($3 > fmax) fmax = $3 }
     END { printf "from the second minute to the end of the load: RSS %s..%s kB, descriptors %s..%s\n", min, max, fmin, fmax }' \
  "$work/samples"

# The key writes in order: a press of a key that holds (zoom, focus, the locks) is down until a
# release (0x16, every key's) follows it.
verdict=$(awk '
  /^SET / && /data=26 16 00 00 00 01 00 00 00 00 / {
    code = toupper(substr($0, index($0, "data=") + 35, 2)); writes++
    if (code == "16") { releases++; if (!down) strays++; down = 0 }
    else if (code ~ /^(03|04|06|07|10|11|12)$/) { holds++; if (down) overlaps++; down = 1 }
    else clicks++
  }
  END { printf "%d key writes: %d presses that hold, %d releases, %d other presses; releases with nothing held %d, presses while a key was held %d; held at the end: %s\n",
        writes, holds, releases, clicks, strays, overlaps, down ? "yes" : "no" }' "$work/trace")
echo "trace: $verdict"
status=0
[ "$crashed" -eq 0 ] && [ "$code" -eq 0 ] || { echo "FAILED: serve did not run to the end"; status=1; }
[ "$clients" -eq 0 ] || { echo "FAILED: a kind of client got nowhere (exit $clients)"; status=1; }
[[ $verdict == *"held at the end: no" ]] || { echo "FAILED: a key was left held"; status=1; }
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
