#!/usr/bin/env bash
# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang), plus a bounded run of
# each fuzz target (5 s each; scripts/fuzz.sh runs the long campaign).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$VELMORA_ROOT/tests/lsan.supp
exec bash "$VELMORA_ROOT/scripts/ctest-stage.sh" sanitize "$VELMORA_BUILD_ROOT/clang-asan" 1800 \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVELMORA_SANITIZE=ON -DVELMORA_FUZZ=ON -DVELMORA_FUZZ_SECONDS=5 -DVELMORA_BENCH=OFF
