# The installed tree of a MinGW build against a shared Qt is the folder users get: the executables,
# the Qt plugins they load at run time, a qt.conf that points Qt at that folder, and every DLL that
# these import and Windows does not provide (Qt's, the compiler's runtime), found by following the
# imports when installing (cmake/VelmoraDllClosure.cmake). `cmake --install --strip` strips them all.
function(velmora_windows_deploy)
  if(NOT MINGW OR NOT VELMORA_WITH_QT)
    return()
  endif()
  get_target_property(core_type ${VELMORA_QT}::Core TYPE)
  if(NOT core_type STREQUAL "SHARED_LIBRARY")
    return()
  endif()

  # Where the imported DLLs are found: Qt's bin folder and the compiler's runtime folders.
  set(search $<TARGET_FILE_DIR:${VELMORA_QT}::Core>)
  foreach(runtime IN ITEMS libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${runtime} is")
    endif()
    get_filename_component(dir ${path} DIRECTORY)
    list(APPEND search ${dir})
  endforeach()

  # The platform and style plugins the window loads by name.
  set(roots $<TARGET_FILE_NAME:velmora> $<TARGET_FILE_NAME:velmoractl>)
  foreach(entry IN ITEMS QWindowsIntegrationPlugin:platforms QWindowsVistaStylePlugin:styles)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 plugin)
    list(GET entry 1 folder)
    if(NOT TARGET ${VELMORA_QT}::${plugin})
      message(FATAL_ERROR "${VELMORA_QT} has no ${plugin}: the window could not start without it")
    endif()
    install(FILES $<TARGET_FILE:${VELMORA_QT}::${plugin}> DESTINATION ${folder})
    list(APPEND roots ${folder}/$<TARGET_FILE_NAME:${VELMORA_QT}::${plugin}>)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/qt.conf DESTINATION ${VELMORA_INSTALL_BINDIR})

  # The cross toolchains name their binutils after the target; a native MinGW has them plain.
  set(objdump ${CMAKE_OBJDUMP})
  set(strip ${CMAKE_STRIP})
  if(VELMORA_MINGW_TRIPLE)
    find_program(VELMORA_MINGW_OBJDUMP ${VELMORA_MINGW_TRIPLE}-objdump)
    find_program(VELMORA_MINGW_STRIP ${VELMORA_MINGW_TRIPLE}-strip)
    set(objdump ${VELMORA_MINGW_OBJDUMP})
    set(strip ${VELMORA_MINGW_STRIP})
  endif()
  if(NOT objdump OR NOT strip)
    message(FATAL_ERROR "No objdump and strip for the Windows executables: cannot deploy their DLLs")
  endif()
  install(CODE "
    set(VELMORA_DEPLOY_ROOTS \"${roots}\")
    set(VELMORA_DEPLOY_SEARCH \"${search}\")
    set(VELMORA_OBJDUMP \"${objdump}\")
    set(VELMORA_STRIP \"${strip}\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/VelmoraDllClosure.cmake\")")
endfunction()
