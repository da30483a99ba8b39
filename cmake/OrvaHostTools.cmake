# The host tools (loader-pack, loader-stamp) are built with the build machine's own compiler.
include(ExternalProject)
set(ORVA_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(host-tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/host
  BINARY_DIR ${ORVA_HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DORVA_VERSION=${PROJECT_VERSION}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${ORVA_HOST_TOOLS_DIR}/loader-pack/loader-pack
  USES_TERMINAL_BUILD ON)
