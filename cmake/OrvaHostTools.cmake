# The host tools (loader-pack, loader-stamp): built with the build machine's own compiler for
# the build itself and the kit, and as static x86_64 Windows programs for the kit, so that a
# pipeline on Windows can pack, make, stamp and sign loaders too. Both are linked to run on
# machines without the build's libraries (ORVA_HOST_TOOLS_STATIC in tools/host).
include(ExternalProject)
set(ORVA_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(host-tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/host
  BINARY_DIR ${ORVA_HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DORVA_VERSION=${PROJECT_VERSION}
             -DORVA_HOST_TOOLS_STATIC=ON
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${ORVA_HOST_TOOLS_DIR}/loader-pack/loader-pack
  USES_TERMINAL_BUILD ON)

# The Windows build is tested in the x86_64 tree (under 64-bit Wine), so it is part of that
# tree's build; elsewhere it is built for the kit alone.
set(ORVA_WINDOWS_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools-windows)
set(windows_tools_on_demand ON)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(windows_tools_on_demand OFF)
endif()
ExternalProject_Add(host-tools-windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/host
  BINARY_DIR ${ORVA_WINDOWS_HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DORVA_VERSION=${PROJECT_VERSION}
             -DORVA_HOST_TOOLS_STATIC=ON
             -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-x86_64-w64-mingw32.cmake
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  EXCLUDE_FROM_ALL ${windows_tools_on_demand}
  BUILD_BYPRODUCTS ${ORVA_WINDOWS_HOST_TOOLS_DIR}/loader-pack/loader-pack.exe
                   ${ORVA_WINDOWS_HOST_TOOLS_DIR}/loader-stamp/loader-stamp.exe
  USES_TERMINAL_BUILD ON)
