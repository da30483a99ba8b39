# The kit: what a release engineer takes away to make the delivered loader from an installer
# without this build: the loader's template, the host tools for Linux and for Windows, their
# manuals, the bill-of-materials script, the third-party notices and SHA256SUMS, laid out in
# kit/orvadesk-loader-kit-<version>/ of the build folder by cmake/lay-out-kit.cmake. The same
# commit gives the same files. Only the tree of the delivered (i686) loader has it.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  return()
endif()
set(ORVA_KIT_DIR ${CMAKE_BINARY_DIR}/kit/orvadesk-loader-kit-${PROJECT_VERSION})
add_custom_target(kit
  COMMAND ${CMAKE_COMMAND} -DKIT=${ORVA_KIT_DIR} -DSOURCE=${CMAKE_SOURCE_DIR}
    -DVERSION=${PROJECT_VERSION} -DTEMPLATE=$<TARGET_FILE:loader-template>
    -DLINUX_TOOLS=${ORVA_HOST_TOOLS_DIR} -DWINDOWS_TOOLS=${ORVA_WINDOWS_HOST_TOOLS_DIR}
    -P ${CMAKE_SOURCE_DIR}/cmake/lay-out-kit.cmake
  DEPENDS loader-template host-tools host-tools-windows
  COMMENT "Laying out the kit in ${ORVA_KIT_DIR}"
  VERBATIM)
