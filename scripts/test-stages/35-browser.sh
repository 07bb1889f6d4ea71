#!/usr/bin/env bash
# The keypad page of velmoractl serve in a real browser: Debian's chromium, headless, driven with
# puppeteer-core from npm (tests/browser/package-lock.json, installed outside the checkout) through
# Node's own test runner, against the real serve on the simulated camera. Shares the unit stage's
# build tree (velmoractl only). Leaves the page's pictures at phone and dock size in
# $VELMORA_BUILD_ROOT/browser-screenshots (docs/ holds copies). Records "browser passed failed skipped".
set -uo pipefail
root=${VELMORA_ROOT:?}
build=$VELMORA_BUILD_ROOT/gcc-qt5
modules=$VELMORA_BUILD_ROOT/browser-node
shots=$VELMORA_BUILD_ROOT/browser-screenshots
stage=browser
record() { echo "$stage $1 $2 $3" >> "${VELMORA_RESULTS:?}"; }

if ! timeout 900 bash "$root/scripts/deps.sh" build browser; then
  echo "$stage: could not install chromium"; record 0 1 0; exit 1
fi
command -v node > /dev/null && command -v npm > /dev/null || { echo "$stage: Node.js 20 and npm are needed"; record 0 1 0; exit 1; }
source "$root/scripts/deb-flags.sh"  # the unit stage's tree, configured as it does
if ! timeout 1200 cmake -S "$root" -B "$build" -G Ninja "${deb_cmake_options[@]}" > "$build.browser-configure.log" 2>&1 ||
   ! timeout 1800 cmake --build "$build" --target velmoractl > "$build.browser-build.log" 2>&1; then
  grep -E 'error' "$build.browser-build.log" | head -20; echo "$stage: velmoractl did not build"; record 0 1 0; exit 1
fi
mkdir -p "$shots"
modules=$(bash "$root/tests/browser/install.sh" "$modules") || { echo "$stage: npm ci failed"; record 0 1 0; exit 1; }

log=$VELMORA_BUILD_ROOT/browser.log
(cd "$root/tests/browser" && VELMORACTL="$build/tools/velmoractl" VELMORA_NODE_MODULES="$modules" \
  VELMORA_SCREENSHOTS="$shots" timeout 600 node --test --test-concurrency=1 --test-reporter=spec ./*.test.mjs) \
  < /dev/null > "$log" 2>&1
code=$?
grep -E '^ *(✔|✖)|^ℹ (tests|pass|fail|skipped)' "$log"
count() { sed -nE "s/^ℹ $1 ([0-9]+)$/\1/p" "$log" | tail -1; }
passed=$(count pass) failed=$(count fail) skipped=$(count skipped)
if [ -z "$passed" ]; then tail -30 "$log"; record 0 1 0; exit 1; fi
[ "$code" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
record "$passed" "$failed" "${skipped:-0}"
[ "$failed" -eq 0 ]
