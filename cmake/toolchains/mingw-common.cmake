# Shared by the mingw-w64 toolchains: set VELMORA_MINGW_TRIPLE before including this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The posix thread model: std::thread and std::mutex without extra headers.
set(CMAKE_C_COMPILER ${VELMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Statically linked executables need no runtime DLLs next to them (nor under wine).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Run the test executables under wine64 when it is installed, unless the caller chose an emulator.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR AND VELMORA_MINGW_TRIPLE STREQUAL "x86_64-w64-mingw32")
  find_program(VELMORA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT VELMORA_WINE64)
    find_program(VELMORA_WINE64 NAMES wine64)
  endif()
  if(VELMORA_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORA_WINE64})
  endif()
endif()
