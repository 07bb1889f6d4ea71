# velmora_embed_manifest(target): embeds the application manifest (asInvoker, no UI access) in a
# Windows executable; does nothing elsewhere.
set(VELMORA_MANIFEST_FILE ${CMAKE_CURRENT_LIST_DIR}/../platform/windows/velmora.manifest)
get_filename_component(VELMORA_MANIFEST_FILE ${VELMORA_MANIFEST_FILE} ABSOLUTE)

function(velmora_embed_manifest target)
  if(NOT WIN32)
    return()
  endif()
  if(MSVC)
    # The linker merges it into the manifest it writes; its own UAC entry would be a second one.
    target_sources(${target} PRIVATE ${VELMORA_MANIFEST_FILE})
    target_link_options(${target} PRIVATE /MANIFESTUAC:NO)
  else()
    set(rc ${CMAKE_BINARY_DIR}/velmora_manifest.rc)
    configure_file(${PROJECT_SOURCE_DIR}/platform/windows/velmora_manifest.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${VELMORA_MANIFEST_FILE})
  endif()
endfunction()
