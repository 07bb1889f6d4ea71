# velmora_version_resource(target DESCRIPTION): gives a Windows executable its version information
# (the project's version, product name Velmora) and the application icon; does nothing elsewhere.
set(VELMORA_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/../packaging/windows/version.rc.in)
set(VELMORA_RC_ICON ${CMAKE_CURRENT_LIST_DIR}/../packaging/windows/velmora.ico)
get_filename_component(VELMORA_RC_TEMPLATE ${VELMORA_RC_TEMPLATE} ABSOLUTE)
get_filename_component(VELMORA_RC_ICON ${VELMORA_RC_ICON} ABSOLUTE)

function(velmora_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  set(VELMORA_RC_NAME ${target})
  set(VELMORA_RC_DESCRIPTION ${description})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${VELMORA_RC_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${VELMORA_RC_ICON})
endfunction()
