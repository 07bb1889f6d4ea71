#!/usr/bin/env bash
# Unit, GUI and benchmark-build stage: g++, Qt 5.
exec bash "$VELMORA_ROOT/scripts/ctest-stage.sh" unit "$VELMORA_BUILD_ROOT/gcc-qt5" 1800 -DCMAKE_BUILD_TYPE=RelWithDebInfo
