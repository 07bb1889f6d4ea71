# Sourced by the nudge benchmarks. nudge_errors TRACE MS NUDGES: each nudge's press (data 03) and
# release (data 16) on a trace with times (VELMORA_SIM_TRACE_TIME=1), the error against MS in
# milliseconds, sorted, into ERRORS (a file the caller names); prints "  p50 ..., p99 ..., max ...,
# min ..." or exits 1 when the trace does not hold NUDGES of them.
nudge_errors() {
  local trace=$1 ms=$2 nudges=$3 count
  grep '^SET ' "$trace" | awk -v ms="$ms" '
    { t = substr($NF, 3) }
    / 03 BF t=/ { pressed = t; next }
    / 16 AC t=/ { printf "%.3f\n", (t - pressed) * 1000 - ms }' | sort -n > "$ERRORS"
  count=$(wc -l < "$ERRORS")
  [ "$count" -eq "$nudges" ] || { echo "expected $nudges nudges on the trace, found $count"; exit 1; }
  pick() { sed -n "$(awk -v n="$count" -v p="$1" 'BEGIN { i = int(n * p + 0.999999); print (i < 1 ? 1 : i) }')p" "$ERRORS"; }
  echo "  p50 $(pick 0.50) ms, p99 $(pick 0.99) ms, max $(tail -1 "$ERRORS") ms, min $(head -1 "$ERRORS") ms"
}
