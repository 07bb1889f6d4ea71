#!/usr/bin/env bash
# The same sources against Qt 6.
exec bash "$VELMORA_ROOT/scripts/ctest-stage.sh" qt6 "$VELMORA_BUILD_ROOT/gcc-qt6" 1800 \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON -DVELMORA_QT6=ON -DVELMORA_BENCH=OFF
