#!/usr/bin/env bash
# The real uvcvideo driver in the loop: one qemu boot of each Debian kernel (6.1 and 6.12, side by
# side) with the emulated USB camera plugged into vhci_hcd, the checks of tests/e2e/vm-checks.sh inside.
# Shares the unit stage's build tree. With Qt 5 for Windows already built (scripts/qt-mingw.sh),
# velmoractl.exe and the two probes, built in stage windows-qt's tree, run under wine64 in the 6.1
# VM over wine's DirectShow (one kernel: wine under TCG is slow); without Qt those checks are
# skipped. Records "e2e-6.1" and "e2e-6.12".
set -uo pipefail
root=${VELMORA_ROOT:?}
build="$VELMORA_BUILD_ROOT/gcc-qt5"
kernels=(6.1 6.12)
wine_kernel=6.1
record() { echo "$1 $2 $3 $4" >> "${VELMORA_RESULTS:?}"; }

source "$root/scripts/deb-flags.sh"  # the unit stage's tree, configured as it does
if ! timeout 1200 cmake -S "$root" -B "$build" -G Ninja "${deb_cmake_options[@]}" > "$build.e2e-configure.log" 2>&1 ||
   ! timeout 1200 cmake --build "$build" > "$build.e2e-build.log" 2>&1; then
  echo "e2e: the build failed (see $build.e2e-build.log)"
  record e2e 0 1 0; exit 1
fi

# The Debian package, whose own velmoractl one check runs as an ordinary user (the build tree is
# stage deb's, so the package is built once).
deb_log="$VELMORA_BUILD_ROOT/e2e-package.log"
deb=
if VELMORA_DEB_BUILD="$build" timeout 3600 bash "$root/scripts/package.sh" deb > "$deb_log" 2>&1; then
  deb=$(tail -1 "$deb_log")
else
  echo "e2e: the Debian package cannot be built (see $deb_log); its check is skipped"
fi

# The Windows programs, built in stage windows-qt's tree; Qt for Windows is not built here.
windows=
broken=0
qt=${VELMORA_QT_PREFIX:-$(bash "$root/scripts/qt-mingw.sh" --cached)}
source "$root/scripts/wine-stage.sh"
if [ -z "$qt" ]; then
  echo "e2e: Qt 5 for Windows is not built (scripts/qt-mingw.sh): the checks of the Windows programs are skipped"
elif ! find_wine; then
  echo "e2e: wine64 not found: the checks of the Windows programs are skipped"
else
  dir=$VELMORA_BUILD_ROOT/mingw-x86_64-qt
  if configure_qt_cross "$dir" "$qt" "$dir.e2e-configure.log" &&
     timeout 1800 nice cmake --build "$dir" --target velmoractl velmora-window-probe velmora-dshow-probe velmora-gamepad-probe \
       velmora-midi-probe > "$dir.e2e-build.log" 2>&1; then
    windows=$dir
    echo "e2e: the Windows programs run in the $wine_kernel VM only"
  else
    echo "e2e: the Windows build failed (see $dir.e2e-configure.log, $dir.e2e-build.log)"
    record e2e-windows-build 0 1 0; broken=1
  fi
  tree_unlock
fi

# The VMs run side by side (each emulates one CPU); one starts once the one before it is booting,
# so that no two fetch kernels with apt at once.
declare -A runs
for kernel in "${kernels[@]}"; do
  log="$VELMORA_BUILD_ROOT/e2e-$kernel.log"
  wine=()
  [ -z "$windows" ] || [ "$kernel" != "$wine_kernel" ] || wine=(VELMORA_E2E_WINDOWS="$windows" VELMORA_E2E_QT="$qt")
  env VELMORA_E2E_KERNEL="$kernel" VELMORA_E2E_BUILD="$build" VELMORA_E2E_DEB="$deb" "${wine[@]}" \
    timeout 1800 bash "$root/tests/e2e/run-e2e.sh" > "$log" 2>&1 &
  runs[$kernel]=$!
  for _ in $(seq 900); do
    grep -q '^e2e: booting' "$log" 2> /dev/null || ! kill -0 "${runs[$kernel]}" 2> /dev/null && break
    sleep 1
  done
done

for kernel in "${kernels[@]}"; do
  log="$VELMORA_BUILD_ROOT/e2e-$kernel.log"
  wait "${runs[$kernel]}"
  code=$?
  if [ $code -eq 77 ]; then
    grep '^e2e: skipped' "$log"
    echo "e2e: the end-to-end run on $kernel cannot happen on this machine; recorded as skipped"
    record "e2e-$kernel" 0 0 1; continue
  fi
  grep -E '^(  (PASS|FAIL|SKIP) |e2e: )' "$log"
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
  if [ -z "$summary" ]; then
    tail -20 "$log"
    record "e2e-$kernel" 0 1 0; broken=1; continue
  fi
  echo "e2e $kernel: $summary"
  read -r passed _ failed _ <<< "$summary"
  record "e2e-$kernel" "$passed" "$failed" "$(grep -c '^  SKIP ' "$log")"
  [ "$failed" -eq 0 ] || broken=1
done
[ "$broken" -eq 0 ]
