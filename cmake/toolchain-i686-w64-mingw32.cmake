# The delivered loader: 32-bit Windows (PE32, Intel 386).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
