# Windows test programs built with GoogleTest and run by CTest through Wine.

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ORVA_WINE_ARCH win64)
else()
  set(ORVA_WINE_ARCH win32)
endif()
file(WRITE ${CMAKE_BINARY_DIR}/orva-wine-arch ${ORVA_WINE_ARCH})

# A 32-bit build's tests need 32-bit Wine that really starts a program in the tree's 32-bit
# prefix: a host may run 32-bit programs and still have no 32-bit Wine (a package mirror can
# keep it from installing for hours). Asked once per configure, by making the tree's prefix
# and starting a program in it (cmake/wine-probe.sh); where it fails, the 64-bit build of the
# same sources runs the Wine tests and this tree builds its file checks alone.
# ORVA_WINE32 names the Wine to ask and to run the tests with (<tree>/orva-wine32, read by
# wine-env.sh); a test hides 32-bit Wine behind one that cannot start.
# The answer goes to <tree>/orva-wine-tests ("ran", or "skipped: <why>") for the scripts.
set(ORVA_WINE_TESTS_NOTE ran)
if(ORVA_WINE_ARCH STREQUAL "win32")
  set(ORVA_WINE32 wine CACHE STRING "The Wine command that runs the 32-bit tree's tests")
  file(WRITE ${CMAKE_BINARY_DIR}/orva-wine32 "${ORVA_WINE32}")
  execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE ia32_result
                  OUTPUT_QUIET ERROR_QUIET)
  if(NOT BUILD_TESTING)
    set(ORVA_WINE_TESTS_NOTE "skipped: BUILD_TESTING is off")
  elseif(NOT ia32_result EQUAL 0)
    set(ORVA_WINE_TESTS_NOTE "skipped: this host cannot run 32-bit programs")
  else()
    execute_process(
      COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-probe.sh ${CMAKE_BINARY_DIR}
      RESULT_VARIABLE wine32_result OUTPUT_VARIABLE wine32_output ERROR_VARIABLE wine32_output
      TIMEOUT 300)
    if(NOT wine32_result EQUAL 0)
      string(REGEX REPLACE "[\r\n]+" " " wine32_output "${wine32_output}")
      string(STRIP "${wine32_output}" wine32_output)
      set(ORVA_WINE_TESTS_NOTE "skipped: 32-bit Wine does not start a program here: ${wine32_output}")
    endif()
  endif()
endif()
file(WRITE ${CMAKE_BINARY_DIR}/orva-wine-tests "${ORVA_WINE_TESTS_NOTE}\n")
if(ORVA_WINE_TESTS_NOTE STREQUAL "ran")
  set(ORVA_CAN_RUN_WINE ON)
else()
  set(ORVA_CAN_RUN_WINE OFF)
  message(STATUS "Wine tests ${ORVA_WINE_TESTS_NOTE}; they are left to the 64-bit build")
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

include(${CMAKE_SOURCE_DIR}/tests/UnitTests.cmake)

# Every test program links this table of system calls in place of the program's own, so that
# its tests can fake a call (tests/support/SystemCallsHook.h).
set(ORVA_TEST_SYSTEM_CALLS ${CMAKE_SOURCE_DIR}/tests/support/SystemCallsHook.cpp)

# orva_add_wine_test(<name> [SOURCES ...] [LIBRARIES ...] [REGISTRY] [TIMEOUT s])
# A GoogleTest program run by CTest under Wine, in the one Wine session of the test run (the
# wine_session fixture of tests/). Built only where this host can run it. A program of
# tests/UnitTests.cmake takes its files from there, besides SOURCES.
# REGISTRY: the test writes the registry, or runs the loader (which does): such tests never
# run at the same time as each other.
function(orva_add_wine_test name)
  cmake_parse_arguments(T "REGISTRY" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ORVA_CAN_RUN_WINE)
    return()
  endif()
  orva_unit_test_files(unit_files WINE ${name})
  add_executable(${name} ${T_SOURCES} ${unit_files} ${ORVA_TEST_SYSTEM_CALLS})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} gtest gtest_main ntdll)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  orva_windows_program(${name})
  add_dependencies(${name} wineprefix)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} FIXTURES_REQUIRED wine_session
                                          LABELS wine)
  if(T_REGISTRY)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK registry)
  endif()
endfunction()
