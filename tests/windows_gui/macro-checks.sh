#!/usr/bin/env bash
# velmoractl.exe macro under wine64 on the simulated camera, with the README's example macros file:
# 'macros' lists its three macros, 'macro start' puts its packets on the trace in order (the nudge's
# release 1.5 s after its press on the trace's own clock), and Ctrl+C (SIGINT, which wine hands a
# console program as Ctrl+C) in the middle of the 8 s wait of 'macro wide' releases the key held
# at once and ends it with exit status 130. Ends with "macro-checks: N passed, N failed".
#
# Usage: macro-checks.sh BUILD_DIR OUT_DIR
#   BUILD_DIR  the x86_64 cross-build (tools/velmoractl.exe)
#   OUT_DIR    the macros file, the traces and velmoractl's output
# WINEPREFIX must name a prepared prefix and WINEPATH reach Qt's and mingw's DLLs; WINE64 may name wine64.
set -uo pipefail
build=$1 out=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
wine64=${WINE64:-/usr/lib/wine/wine64}
mkdir -p "$out"
macros=$out/macros.txt trace=$out/macro-trace.txt

passed=0 failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "  ok    $what"; passed=$((passed + 1)); else echo "  FAIL  $what"; failed=$((failed + 1)); fi
}
finish() { echo "macro-checks: $passed passed, $failed failed"; exit $((failed > 0)); }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
wait_for() { # wait_for SECONDS COMMAND...
  local tries=$(($1 * 10)); shift
  while [ "$tries" -gt 0 ]; do "$@" && return 0; sleep 0.1; tries=$((tries - 1)); done
  return 1
}
writes() { tr -d '\r' < "$trace" | sed -n 's/^SET .* data=//p' | sed 's/ t=.*//' | tr '\n' '|'; }
ctl() { # ctl OUTPUT ARGUMENTS...: velmoractl.exe on the simulated camera with the macros file
  local output=$1; shift
  VELMORA_SIM_TRACE=$(winpath "$trace") VELMORA_SIM_TRACE_TIME=1 timeout 120 "$wine64" "$build/tools/velmoractl.exe" \
    --backend sim --macros "$(winpath "$macros")" "$@" < /dev/null > "$out/$output.out" 2> "$out/$output.err"
}

# The README's example, as a user would copy it.
awk '/^    # Velmora macros/ { on = 1 } on && /^    \$ / { exit } on { sub(/^    /, ""); print }' "$root/README.md" > "$macros"
check "the README holds the example macros file" grep -q '^\[wide\]' "$macros"

ctl macros macros
check "'macros' lists wide, reset and start" test "$(tr -d '\r' < "$out/macros.out" | awk '{ print $1 }' | tr '\n' ' ')" = "wide reset start "

rm -f "$trace"
normal="26 16 00 00 00 01 00 00 00 00 02 C0" zoom_out="26 16 00 00 00 01 00 00 00 00 07 BB"
zoom_in="26 16 00 00 00 01 00 00 00 00 03 BF" release="26 16 00 00 00 01 00 00 00 00 16 AC"
ctl start macro start
check "'macro start' ends with exit status 0" test $? = 0
check "its packets reach the trace in order" test "$(writes)" = "$normal|$zoom_out|$release|$zoom_in|$release|"
held=$(tr -d '\r' < "$trace" | grep '^SET ' | awk 'NR == 4 { p = substr($NF, 3) } NR == 5 { printf "%.1f", (substr($NF, 3) - p) * 1000 }')
echo "    the nudge held zoom-in $held ms"
check "the nudge's release comes 1500 ms or more after its press" awk -v held="${held:-0}" 'BEGIN { exit !(held >= 1500) }'

rm -f "$trace"
VELMORA_SIM_TRACE=$(winpath "$trace") "$wine64" "$build/tools/velmoractl.exe" --backend sim --macros "$(winpath "$macros")" \
  macro wide < /dev/null > "$out/wide.out" 2> "$out/wide.err" &
pid=$!
pressed() { [ -f "$trace" ] && [ "$(writes)" = "$zoom_out|" ]; }
check "'macro wide' presses zoom-out" wait_for 60 pressed
kill -INT "$pid"
stopped() { ! kill -0 "$pid" 2> /dev/null; }
check "Ctrl+C ends it within its wait" wait_for 5 stopped
wait "$pid"
code=$?
check "exit status 130, interrupted" test "$code" = 130 -a -n "$(grep 'macro wide interrupted' "$out/wide.err")"
check "the release is on the trace once, and nothing after it" test "$(writes)" = "$zoom_out|$release|"
sed 's/^/    /' "$out/wide.err"
finish
