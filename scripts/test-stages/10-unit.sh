#!/usr/bin/env bash
# Unit, GUI and benchmark-build stage: g++, Qt 5, with Debian's build flags: the Debian package is
# made from this tree (stages e2e and deb). Built in unity batches, as the test stages' trees are but
# the sanitizer's, which compiles every file alone.
source "$VELMORA_ROOT/scripts/deb-flags.sh"
exec bash "$VELMORA_ROOT/scripts/ctest-stage.sh" unit "$VELMORA_BUILD_ROOT/gcc-qt5" 1800 "${deb_cmake_options[@]}" -DCMAKE_UNITY_BUILD=ON
