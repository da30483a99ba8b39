# Packing an installer for a loader: loader-pack compresses it into one gzip member, which
# becomes resource RT_RCDATA 102 in language 1033 (English, United States).

# The installer the loader carries: a file path, an executable target's name, or a generator
# expression such as the default, the demo installer built in this tree.
set(LOADER_PAYLOAD "$<TARGET_FILE:demo-installer>" CACHE STRING
  "Installer executable packed into the loader (file path or executable target)")

# orva_packed_payload(<variable> <payload> [BEST])
# Sets <variable> to the packed file of <payload> (file path, executable target or generator
# expression) and <variable>_TARGET to the target that packs it.
# Each distinct payload is packed once per build tree, however many targets carry it, into
# payloads/ of the build folder. BEST packs with loader-pack --best (block division, about
# 1.3 s per MiB on one processor, on every processor at once): for the payload that ships. Without it the payload is packed --fast, as test
# payloads are; a payload that any target asks BEST for is packed --best for all of them.
# Changing the payload file, or loader-pack, packs it again.
function(orva_packed_payload variable payload)
  cmake_parse_arguments(P "BEST" "" "" ${ARGN})
  # What identifies the payload (the same installer named two ways is one payload), the file
  # to pack, and what packing it waits for.
  if(TARGET ${payload})
    set(key ${payload})
    set(payload_file $<TARGET_FILE:${payload}>)
    set(depends ${payload})  # a target-level dependency plus a file-level one on its output
  elseif(payload MATCHES "^\\$<TARGET_FILE:([^>]+)>$")
    set(key ${CMAKE_MATCH_1})
    set(payload_file ${payload})
    set(depends ${CMAKE_MATCH_1})
  elseif(payload MATCHES "\\$<")
    set(key ${payload})
    set(payload_file ${payload})
    set(depends ${payload})
  else()
    get_filename_component(payload_file ${payload} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    if(NOT EXISTS ${payload_file})
      message(FATAL_ERROR "Payload not found: ${payload_file}")
    endif()
    set(key ${payload_file})
    set(depends ${payload_file})
  endif()

  string(MD5 id "${key}")
  string(SUBSTRING ${id} 0 12 id)
  get_property(packings GLOBAL PROPERTY ORVA_PAYLOAD_PACKINGS)
  if(NOT id IN_LIST packings)
    if(NOT packings)
      # The packing commands are made once every target has said what it needs.
      cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _orva_add_payload_packings)
    endif()
    set_property(GLOBAL APPEND PROPERTY ORVA_PAYLOAD_PACKINGS ${id})
    get_filename_component(name "${key}" NAME)
    string(REGEX REPLACE "[^A-Za-z0-9_.-]" "_" name "${name}")
    set_property(GLOBAL PROPERTY ORVA_PAYLOAD_${id}_PACKED
      ${CMAKE_BINARY_DIR}/payloads/${name}-${id}.gz)
    set_property(GLOBAL PROPERTY ORVA_PAYLOAD_${id}_FILE ${payload_file})
    set_property(GLOBAL PROPERTY ORVA_PAYLOAD_${id}_DEPENDS ${depends})
  endif()
  if(P_BEST)
    set_property(GLOBAL PROPERTY ORVA_PAYLOAD_${id}_BEST ON)
  endif()
  get_property(packed GLOBAL PROPERTY ORVA_PAYLOAD_${id}_PACKED)
  set(${variable} ${packed} PARENT_SCOPE)
  set(${variable}_TARGET orva-payload-${id} PARENT_SCOPE)
endfunction()

# orva_payload_resource(<target> <payload> [RESOURCE_ID <id>] [BEST])
# Links the packed <payload> into <target> as its payload resource, for programs other than
# loaders (loaders get theirs from loader-pack --into, see loader/CMakeLists.txt). The path of
# the packed file is left in the target's ORVA_PACKED_PAYLOAD property.
function(orva_payload_resource target payload)
  cmake_parse_arguments(P "BEST" "RESOURCE_ID" "" ${ARGN})
  if(NOT P_RESOURCE_ID)
    set(P_RESOURCE_ID 102)  # the resource the loader looks for
  endif()
  set(best)
  if(P_BEST)
    set(best BEST)
  endif()
  orva_packed_payload(packed ${payload} ${best})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-payload/payload-${P_RESOURCE_ID}.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT
"LANGUAGE 9, 1
${P_RESOURCE_ID} RCDATA \"${packed}\"
")
  # The resource compiler does not report what it read, so the packed file is named here.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${packed})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} ${packed_TARGET})
  set_property(TARGET ${target} PROPERTY ORVA_PACKED_PAYLOAD ${packed})
endfunction()

# One packing command per distinct payload, each behind a target of its own that the carrying
# targets depend on.
function(_orva_add_payload_packings)
  set(loader_pack ${ORVA_HOST_TOOLS_DIR}/loader-pack/loader-pack)
  get_property(packings GLOBAL PROPERTY ORVA_PAYLOAD_PACKINGS)
  foreach(id ${packings})
    get_property(packed GLOBAL PROPERTY ORVA_PAYLOAD_${id}_PACKED)
    get_property(payload_file GLOBAL PROPERTY ORVA_PAYLOAD_${id}_FILE)
    get_property(depends GLOBAL PROPERTY ORVA_PAYLOAD_${id}_DEPENDS)
    get_property(best GLOBAL PROPERTY ORVA_PAYLOAD_${id}_BEST)
    # The payload that ships can take minutes to pack: in the terminal's pool, a build run
    # from a terminal shows loader-pack's progress there. Elsewhere loader-pack writes only
    # its closing line, which stays in the build's output as the record of the packing.
    if(best)
      set(level --best)
      set(terminal USES_TERMINAL)
    else()
      set(level --fast)
      set(terminal "")
    endif()
    get_filename_component(dir ${packed} DIRECTORY)
    add_custom_command(OUTPUT ${packed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${loader_pack} ${level} ${payload_file} ${packed}
      DEPENDS ${depends} ${loader_pack} host-tools
      COMMENT "Packing payload ${packed} (${level})"
      ${terminal}
      VERBATIM)
    add_custom_target(orva-payload-${id} DEPENDS ${packed})
  endforeach()
endfunction()
