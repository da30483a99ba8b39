# The foundation's source files: one list for its own library (VoFoundation/CMakeLists.txt)
# and for the native build (native/CMakeLists.txt), as full paths.
#
# VO_FOUNDATION_SOURCES: the units that build on any system; the platform units among them
#   make a few Win32 calls, for which the native build has a stand-in (native/win32/).
# VO_FOUNDATION_WINDOWS_SOURCES: the units of Windows alone: the status's message text from
#   the system (natively: native/VoStatusNative.cpp) and the system queries.
# VO_FOUNDATION_STATIC_SOURCES: the static objects made before the entry function.
set(VO_FOUNDATION_SOURCES
  VoAllocator.cpp
  VoDescriptorTrust.cpp
  VoFormat.cpp
  VoTextBuffer.cpp
  VoStatus.cpp
  VoFailureReport.cpp
  VoTraceLog.cpp
  VoString/VoString.cpp
  VoTraceFile.cpp
  VoTraceThread.cpp
  VoThreads/VoMutex.cpp
  VoThreads/VoThreadLocalStorage.cpp
  VoSystemCalls.cpp)
set(VO_FOUNDATION_WINDOWS_SOURCES
  VoStatusWin32.cpp
  VoSystem.cpp)
set(VO_FOUNDATION_STATIC_SOURCES
  VoThreads/VoStaticObjects.cpp)
foreach(list VO_FOUNDATION_SOURCES VO_FOUNDATION_WINDOWS_SOURCES VO_FOUNDATION_STATIC_SOURCES)
  list(TRANSFORM ${list} PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
endforeach()
