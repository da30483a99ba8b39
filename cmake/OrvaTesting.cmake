# Windows test programs built with GoogleTest and run by CTest through Wine.

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ORVA_WINE_ARCH win64)
else()
  set(ORVA_WINE_ARCH win32)
endif()
file(WRITE ${CMAKE_BINARY_DIR}/orva-wine-arch ${ORVA_WINE_ARCH})

# A 32-bit build's tests need a host that can execute the 32-bit Wine loader; some kernels
# cannot. There the 64-bit build of the same sources runs the tests instead.
if(ORVA_WINE_ARCH STREQUAL "win32")
  execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE ia32_result
                  OUTPUT_QUIET ERROR_QUIET)
  if(ia32_result EQUAL 0)
    set(ORVA_CAN_RUN_WINE ON)
  else()
    set(ORVA_CAN_RUN_WINE OFF)
    message(STATUS "This host cannot run 32-bit programs: Wine tests are left to the 64-bit build")
  endif()
else()
  set(ORVA_CAN_RUN_WINE ON)
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
if(BUILD_TESTING AND NOT TARGET gtest)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The build's Wine prefix, made once before any test runs.
if(ORVA_CAN_RUN_WINE)
  add_custom_target(wineprefix ALL
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix.sh ${CMAKE_BINARY_DIR}
    USES_TERMINAL)
endif()

# orva_add_wine_test(<name> SOURCES ... [LIBRARIES ...] [REGISTRY] [TIMEOUT s])
# A GoogleTest program run by CTest under Wine, in the one Wine session of the test run (the
# wine_session fixture of tests/). Built only where this host can run it.
# REGISTRY: the test writes the registry, or runs the loader (which does): such tests never
# run at the same time as each other.
function(orva_add_wine_test name)
  cmake_parse_arguments(T "REGISTRY" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ORVA_CAN_RUN_WINE)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} gtest gtest_main)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  orva_windows_program(${name})
  add_dependencies(${name} wineprefix)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} FIXTURES_REQUIRED wine_session)
  if(T_REGISTRY)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK registry)
  endif()
endfunction()
