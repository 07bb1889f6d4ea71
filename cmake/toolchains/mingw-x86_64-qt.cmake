# Cross-build with Qt 5 for Windows: -DVELMORA_QT_PREFIX=<prefix printed by scripts/qt-mingw.sh>.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
if(NOT VELMORA_QT_PREFIX AND DEFINED ENV{VELMORA_QT_PREFIX})
  set(VELMORA_QT_PREFIX $ENV{VELMORA_QT_PREFIX})
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${VELMORA_QT_PREFIX})
