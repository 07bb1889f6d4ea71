#!/usr/bin/env bash
# The real uvcvideo driver in the loop: one qemu boot of a Debian kernel with the emulated USB
# camera plugged into vhci_hcd, the checks of tests/e2e/vm-checks.sh inside. Shares the unit
# stage's build tree. VELMORA_E2E_KERNEL=6.12 boots the newer kernel instead of 6.1.
set -uo pipefail
root=${VELMORA_ROOT:?}
build="$VELMORA_BUILD_ROOT/gcc-qt5"
log="$VELMORA_BUILD_ROOT/e2e.log"
record() { echo "e2e $1 $2 $3" >> "${VELMORA_RESULTS:?}"; }

if ! timeout 1200 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.e2e-configure.log" 2>&1 ||
   ! timeout 1200 cmake --build "$build" > "$build.e2e-build.log" 2>&1; then
  echo "e2e: the build failed (see $build.e2e-build.log)"
  record 0 1 0; exit 1
fi

# The Debian package, whose own velmoractl one check runs as an ordinary user (the build tree is
# stage deb's, so the package is built once).
deb_log="$VELMORA_BUILD_ROOT/e2e-package.log"
deb=
if VELMORA_DEB_BUILD="$VELMORA_BUILD_ROOT/deb" timeout 3600 bash "$root/scripts/package.sh" deb > "$deb_log" 2>&1; then
  deb=$(tail -1 "$deb_log")
else
  echo "e2e: the Debian package cannot be built (see $deb_log); its check is skipped"
fi

VELMORA_E2E_BUILD="$build" VELMORA_E2E_DEB="$deb" timeout 1800 bash "$root/tests/e2e/run-e2e.sh" > "$log" 2>&1
code=$?
if [ $code -eq 77 ]; then
  grep '^e2e: skipped' "$log"
  echo "e2e: the end-to-end run cannot happen on this machine; recorded as skipped"
  record 0 0 1; exit 0
fi
grep -E '^(  (PASS|FAIL|SKIP) |e2e: )' "$log"
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
if [ -z "$summary" ]; then
  tail -20 "$log"
  record 0 1 0; exit 1
fi
echo "$summary"
read -r passed _ failed _ <<< "$summary"
skipped=$(grep -c '^  SKIP ' "$log")
record "$passed" "$failed" "$skipped"
[ "$failed" -eq 0 ]
