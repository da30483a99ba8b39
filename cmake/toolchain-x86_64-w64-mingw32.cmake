# The same sources as 64-bit Windows programs, for hosts whose Wine runs 64-bit programs only
# (a kernel without 32-bit execution cannot start the 32-bit Wine loader).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
