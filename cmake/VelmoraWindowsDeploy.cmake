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

  # Where the imported DLLs are found: Qt's bin folder, the compiler's own folder (a MinGW on
  # Windows keeps its runtime DLLs there) and the folders where it finds its runtime DLLs.
  get_filename_component(compiler_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
  set(search $<TARGET_FILE_DIR:${VELMORA_QT}::Core> ${compiler_dir})
  foreach(runtime IN ITEMS libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}")
      get_filename_component(dir ${path} DIRECTORY)
      list(APPEND search ${dir})
    endif()
  endforeach()

  # The compiler's import libraries of Windows's own DLLs (libkernel32.a and its neighbours).
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libkernel32.a
    OUTPUT_VARIABLE kernel32 OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${kernel32}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no libkernel32.a: cannot tell Windows's DLLs from missing ones")
  endif()
  get_filename_component(system_libs ${kernel32} DIRECTORY)

  # The platform and style plugins the window loads by name (the style's name changed in Qt 6.7).
  set(roots $<TARGET_FILE_NAME:velmora> $<TARGET_FILE_NAME:velmoractl>)
  if(NOT TARGET ${VELMORA_QT}::QWindowsIntegrationPlugin)
    message(FATAL_ERROR "${VELMORA_QT} has no QWindowsIntegrationPlugin: the window could not start")
  endif()
  set(plugins QWindowsIntegrationPlugin:platforms)
  foreach(style IN ITEMS QWindowsVistaStylePlugin QModernWindowsStylePlugin)
    if(TARGET ${VELMORA_QT}::${style})
      list(APPEND plugins ${style}:styles)
      break()
    endif()
  endforeach()
  foreach(entry IN LISTS plugins)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 plugin)
    list(GET entry 1 folder)
    install(FILES $<TARGET_FILE:${VELMORA_QT}::${plugin}> DESTINATION ${folder})
    list(APPEND roots ${folder}/$<TARGET_FILE_NAME:${VELMORA_QT}::${plugin}>)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/qt.conf DESTINATION ${VELMORA_INSTALL_BINDIR})

  if(NOT CMAKE_OBJDUMP OR NOT CMAKE_STRIP)
    message(FATAL_ERROR "No objdump and strip for the Windows executables: cannot deploy their DLLs")
  endif()
  install(CODE "
    set(VELMORA_DEPLOY_ROOTS \"${roots}\")
    set(VELMORA_DEPLOY_SEARCH \"${search}\")
    set(VELMORA_SYSTEM_LIBS \"${system_libs}\")
    set(VELMORA_OBJDUMP \"${CMAKE_OBJDUMP}\")
    set(VELMORA_STRIP \"${CMAKE_STRIP}\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/VelmoraDllClosure.cmake\")")
endfunction()
