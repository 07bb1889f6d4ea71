#!/usr/bin/env bash
# velmoractl.exe serve under wine64 on the simulated camera, reached from the Linux side over
# loopback with curl and, for VISCA over IP, with bash's /dev/udp: serve's release at start, then a
# click's MENU packet are on the camera's trace, a form-encoded POST is refused and sends nothing, a VISCA zoom tele and stop
# (header framing) put the zoom-in press and its release there and a bare menu command its MENU
# packet, each answered with ACK and Completion, and a zoom-in left pressed is released when serve is
# stopped (SIGINT, which wine hands a console program as Ctrl+C). With VELMORA_NODE_MODULES (puppeteer-core,
# tests/browser/install.sh), the keypad page, loaded in chromium on the Linux side, clicks the menu key
# and its MENU packet reaches the trace. Ends with "serve-checks: N passed, N failed".
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
visca() { # visca HEX COUNT: sends the datagram, prints the COUNT replies in hexadecimal, '|' after each
  local bytes= i
  for ((i = 0; i < ${#1}; i += 2)); do bytes+="\\x${1:i:2}"; done
  printf "$bytes" >&7
  for ((i = 0; i < $2; i++)); do
    printf '%s|' "$(timeout 20 dd bs=64 count=1 <&7 2> /dev/null | od -An -tx1 | tr -d ' \n')"
  done
}

VELMORA_SIM_TRACE=$(winpath "$trace") "$wine64" "$build/tools/velmoractl.exe" --backend sim serve --http 127.0.0.1:0 \
  --visca 127.0.0.1:0 < /dev/null > /dev/null 2> "$err" &
pid=$!
check "serve starts and names its port" wait_for 60 grep -qs '/v1/ on' "$err"
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/v1/.*|\1|p' "$err")
[ -n "$port" ] || { kill "$pid" 2> /dev/null; cat "$err"; finish; }

menu="26 16 00 00 00 01 00 00 00 00 05 BD" release="26 16 00 00 00 01 00 00 00 00 16 AC"
check "a click answers 200" test "$(post menu/click application/json)" = 200
check "the release at start, then the click's MENU packet on the trace" test "$(writes)" = "$release|$menu|"
check "a form-encoded POST is refused (415) and sends nothing" \
  test "$(post menu/click application/x-www-form-urlencoded)" = 415 -a "$(writes)" = "$release|$menu|"
visca_port=$(sed -n 's|.*udp 127.0.0.1:\([0-9]*\) (VISCA).*|\1|p' "$err")
exec 7<> "/dev/udp/127.0.0.1/${visca_port:-9}"
done_1="01110003000000019041ff|01110003000000019051ff|" done_2=${done_1//00000001/00000002}
check "VISCA zoom tele and stop (header framing) answer ACK and Completion" \
  test "$(visca 01000006000000018101040702ff 2)$(visca 01000006000000028101040700ff 2)" = "$done_1$done_2"
check "a bare VISCA menu command answers ACK and Completion" test "$(visca 8101060602ff 2)" = "9041ff|9051ff|"
exec 7>&-
zoom="26 16 00 00 00 01 00 00 00 00 03 BF"
check "VISCA puts the zoom-in press, its release and the MENU packet on the trace" \
  test "$(writes)" = "$release|$menu|$zoom|$release|$menu|"
page=
if [ -n "${VELMORA_NODE_MODULES:-}" ]; then
  page="$menu|"
  click_page() {
    VELMORA_NODE_MODULES=$VELMORA_NODE_MODULES timeout 120 node "$(dirname "$0")/../browser/click-key.mjs" \
      "http://127.0.0.1:$port/" menu > "$out/page.log" 2>&1 &&
      test "$(writes)" = "$release|$menu|$zoom|$release|$menu|$page"
  }
  check "the keypad page, in chromium over loopback, puts the MENU packet on the trace" click_page
fi
check "a zoom-in press answers 200" test "$(post zoom-in/press application/json)" = 200
kill -INT "$pid"
stopped() { ! kill -0 "$pid" 2> /dev/null; }
check "SIGINT (Ctrl+C) stops serve" wait_for 30 stopped
wait "$pid"
code=$?
check "serve exits 0 and says it released the held key" test "$code" = 0 -a -n "$(grep '1 held key(s) released' "$err")"
check "the release is on the trace after the press" \
  test "$(writes)" = "$release|$menu|$zoom|$release|$menu|$page$zoom|$release|"
sed 's/^/    /' "$err"
finish
