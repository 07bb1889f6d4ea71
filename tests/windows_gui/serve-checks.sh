#!/usr/bin/env bash
# velmoractl.exe serve under wine64 on the simulated camera, reached from the Linux side over
# loopback with curl: a click puts the MENU packet on the camera's trace, a form-encoded POST is
# refused and sends nothing, and a zoom-in left pressed is released when serve is stopped (SIGINT,
# which wine hands a console program as Ctrl+C). Ends with "serve-checks: N passed, N failed".
#
# Usage: serve-checks.sh BUILD_DIR OUT_DIR
#   BUILD_DIR  the x86_64 cross-build (tools/velmoractl.exe)
#   OUT_DIR    its standard error and the trace
# WINEPREFIX must name a prepared prefix and WINEPATH reach Qt's and mingw's DLLs; WINE64 may name wine64.
set -uo pipefail
build=$1 out=$2
wine64=${WINE64:-/usr/lib/wine/wine64}
mkdir -p "$out"
trace=$out/serve-trace.txt err=$out/serve-stderr.txt
rm -f "$trace" "$err"

passed=0 failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "  ok    $what"; passed=$((passed + 1)); else echo "  FAIL  $what"; failed=$((failed + 1)); fi
}
finish() { echo "serve-checks: $passed passed, $failed failed"; exit $((failed > 0)); }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
wait_for() { # wait_for SECONDS COMMAND...
  local tries=$(($1 * 10)); shift
  while [ "$tries" -gt 0 ]; do "$@" && return 0; sleep 0.1; tries=$((tries - 1)); done
  return 1
}
writes() { [ -f "$trace" ] && tr -d '\r' < "$trace" | sed -n 's/^SET .* data=//p' | tr '\n' '|'; }
post() { # post PATH CONTENT_TYPE: prints the HTTP status
  curl -s -m 20 -o /dev/null -w '%{http_code}' -X POST -H "Content-Type: $2" -d '{}' "http://127.0.0.1:$port/v1/keys/$1"
}

VELMORA_SIM_TRACE=$(winpath "$trace") "$wine64" "$build/tools/velmoractl.exe" --backend sim serve --http 127.0.0.1:0 \
  < /dev/null > /dev/null 2> "$err" &
pid=$!
check "serve starts and names its port" wait_for 60 grep -qs '/v1/ on' "$err"
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/v1/.*|\1|p' "$err")
[ -n "$port" ] || { kill "$pid" 2> /dev/null; cat "$err"; finish; }

menu="26 16 00 00 00 01 00 00 00 00 05 BD"
check "a click answers 200" test "$(post menu/click application/json)" = 200
check "the click puts the MENU packet on the trace" test "$(writes)" = "$menu|"
check "a form-encoded POST is refused (415) and sends nothing" \
  test "$(post menu/click application/x-www-form-urlencoded)" = 415 -a "$(writes)" = "$menu|"
check "a zoom-in press answers 200" test "$(post zoom-in/press application/json)" = 200
kill -INT "$pid"
stopped() { ! kill -0 "$pid" 2> /dev/null; }
check "SIGINT (Ctrl+C) stops serve" wait_for 30 stopped
wait "$pid"
code=$?
check "serve exits 0 and says it released the held key" test "$code" = 0 -a -n "$(grep '1 held key(s) released' "$err")"
check "the release is on the trace after the press" \
  test "$(writes)" = "$menu|26 16 00 00 00 01 00 00 00 00 03 BF|26 16 00 00 00 01 00 00 00 00 16 AC|"
sed 's/^/    /' "$err"
finish
