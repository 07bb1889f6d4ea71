# Cross-build for 64-bit Windows against a Qt 5 for Windows prefix (scripts/qt-mingw.sh prints one):
#   cmake -DCMAKE_TOOLCHAIN_FILE=this file -DVELMORA_QT_PREFIX=PREFIX ...
# or VELMORA_QT_PREFIX in the environment. Qt5Config.cmake looks its modules up again under the
# find-root path, so the prefix goes there, not only into Qt5_DIR.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)

if(NOT VELMORA_QT_PREFIX AND DEFINED ENV{VELMORA_QT_PREFIX})
  set(VELMORA_QT_PREFIX $ENV{VELMORA_QT_PREFIX})
endif()
if(NOT VELMORA_QT_PREFIX)
  message(FATAL_ERROR "mingw-x86_64-qt.cmake: set VELMORA_QT_PREFIX to a Qt 5 for Windows prefix")
endif()
set(VELMORA_QT_PREFIX ${VELMORA_QT_PREFIX} CACHE PATH "Qt 5 for Windows prefix")
# try_compile projects read the toolchain again without the cache: hand it over through the environment.
set(ENV{VELMORA_QT_PREFIX} ${VELMORA_QT_PREFIX})
list(APPEND CMAKE_FIND_ROOT_PATH ${VELMORA_QT_PREFIX})
