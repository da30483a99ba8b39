# Windows test programs built with GoogleTest and run by CTest through Wine.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
if(BUILD_TESTING AND NOT TARGET gtest)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The build's Wine prefix, made once before any test runs.
add_custom_target(wineprefix ALL
  COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix.sh ${CMAKE_BINARY_DIR}
  USES_TERMINAL)

# orva_add_wine_test(<name> SOURCES ... [LIBRARIES ...] [REGISTRY] [TIMEOUT s])
# REGISTRY: the test writes the registry, or runs the loader (which does): such tests never
# run at the same time as each other.
function(orva_add_wine_test name)
  cmake_parse_arguments(T "REGISTRY" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} gtest gtest_main)
  orva_windows_program(${name})
  add_dependencies(${name} wineprefix)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_REGISTRY)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK registry)
  endif()
endfunction()
