# Cross-build for 32-bit Windows with Debian's mingw-w64: cmake -DCMAKE_TOOLCHAIN_FILE=this file.
# Its executables are not run here (32-bit wine needs the i386 architecture).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELMORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
