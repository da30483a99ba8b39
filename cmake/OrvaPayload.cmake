# Packing an installer into a loader: loader-pack compresses it into one gzip member, which is
# linked as resource RT_RCDATA 102 in language 1033 (English, United States).

# The installer the loader carries: a file path, an executable target's name, or a generator
# expression such as the default, the demo installer built in this tree.
set(LOADER_PAYLOAD "$<TARGET_FILE:demo-installer>" CACHE STRING
  "Installer executable packed into the loader (file path or executable target)")

# orva_payload_resource(<target> <payload> [RESOURCE_ID <id>])
# Adds <payload> (file path, executable target or generator expression) to <target> as its
# payload resource. Changing the payload file, or loader-pack, packs it again.
function(orva_payload_resource target payload)
  cmake_parse_arguments(P "" "RESOURCE_ID" "" ${ARGN})
  if(NOT P_RESOURCE_ID)
    set(P_RESOURCE_ID 102)  # the resource the loader looks for
  endif()
  set(loader_pack ${ORVA_HOST_TOOLS_DIR}/loader-pack/loader-pack)

  set(depends ${loader_pack} host-tools)
  if(TARGET ${payload})
    # The target itself: a target-level dependency plus a file-level one on its output.
    list(APPEND depends ${payload})
    set(payload_file $<TARGET_FILE:${payload}>)
  elseif(payload MATCHES "^\\$<TARGET_FILE:([^>]+)>$")
    list(APPEND depends ${CMAKE_MATCH_1})
    set(payload_file ${payload})
  elseif(payload MATCHES "\\$<")
    list(APPEND depends ${payload})
    set(payload_file ${payload})
  else()
    get_filename_component(payload_file ${payload} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    if(NOT EXISTS ${payload_file})
      message(FATAL_ERROR "Payload for ${target} not found: ${payload_file}")
    endif()
    list(APPEND depends ${payload_file})
  endif()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-payload)
  set(packed ${dir}/payload-${P_RESOURCE_ID}.gz)
  set(rc ${dir}/payload-${P_RESOURCE_ID}.rc)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${loader_pack} ${payload_file} ${packed}
    DEPENDS ${depends}
    COMMENT "Packing the payload of ${target}"
    VERBATIM)
  file(CONFIGURE OUTPUT ${rc} CONTENT
"LANGUAGE 9, 1
${P_RESOURCE_ID} RCDATA \"${packed}\"
")
  # The resource compiler does not report what it read, so the packed file is named here.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${packed})
  target_sources(${target} PRIVATE ${rc})
endfunction()
