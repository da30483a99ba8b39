# Flags for what ships: small (-Oz, functions collected, stripped), no exceptions, no RTTI.
# -malign-data=abi: arrays keep the alignment their type needs instead of 32 bytes, which
# padded the read-only data by about 160 bytes (the loader never reads them with vector loads).
# No -fdata-sections: on PE targets it puts zero-filled objects into .data$<name>, so every
# static buffer would be stored in the file instead of costing nothing in .bss.
# __USE_MINGW_ANSI_STDIO=0: the C stdio names go to the system runtime instead of MinGW's own
# printf engine (about 25 KB with its floating-point conversions). Any C++ library header
# turns the engine back on, so the foundation formats through VoFormat, which calls the
# runtime's formatter by its own name; the stub-size test catches a return of the engine.
# Link-time optimisation lets the compiler see the loader whole (about 4.5 KB less); turn it
# off to read a linker map by object file.
option(ORVA_LTO "Link-time optimisation of the product code" ON)

# Repeatable Windows programs: the same sources and payload give the same bytes whatever the
# build folder and the time.
# - __FILE__ (failure reports name their source file) is written relative to the source
#   folder: "VoFoundation/VoThreads/VoMutex.cpp", never the build machine's absolute path.
# - The PE header's time stamp is SOURCE_DATE_EPOCH from the environment of the configure
#   step when it is set, else 0, the linker's "no time stamp". The link step gets the value
#   through its environment, so a later build in another environment keeps it.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ORVA_PE_TIME_STAMP "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT ORVA_PE_TIME_STAMP MATCHES "^[0-9]+$" OR ORVA_PE_TIME_STAMP GREATER 4294967295)
      message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a count of seconds that fits the PE "
                          "header's 32 bits, not '${ORVA_PE_TIME_STAMP}'")
    endif()
    set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK
      "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ORVA_PE_TIME_STAMP}")
  else()
    set(ORVA_PE_TIME_STAMP 0)
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
endif()

function(orva_product_target target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
    -Oz -ffunction-sections -fno-asynchronous-unwind-tables -malign-data=abi
    -Wall -Wextra)
  target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
  if(ORVA_LTO)
    set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
  endif()
endfunction()

# Windows programs link the compiler's runtime statically, so they import system DLLs only.
function(orva_windows_program target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

function(orva_gui_program target)
  orva_windows_program(${target})
  # -Os here too: with link-time optimisation the code is generated at this step.
  target_link_options(${target} PRIVATE -Oz -mwindows -s -Wl,--gc-sections
    -Wl,-Map=$<TARGET_FILE_DIR:${target}>/${target}.map)
endfunction()

# Programs started by the loader's own start-up (loader/Startup.cpp) instead of the C runtime's
# start-up objects; they provide LoaderMain. Data imported from a DLL without dllimport would
# need the runtime's pseudo-relocations, so the link refuses it.
#
# The C library functions that the compiler may call on its own (memchr for a loop it
# recognises, strlen for a string it measures) must be asked for before link-time
# optimisation: the code generated afterwards refers to them as well, but ld 2.40, without the
# runtime's start-up objects, drops their import stubs as unreferenced and then crashes
# (signal 11) writing the relocation table. A link that crashes so after new code calls another
# such function needs that function added to this list: it is among the undefined symbols of
# the link's .ltrans.o objects (link with -save-temps and list them with nm -u) that name a
# function of msvcrt.dll.
function(orva_lean_entry target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:loader_startup>)
  set(prefix)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(prefix _)  # C names as the i386 object files spell them
  endif()
  set(early)
  foreach(function memchr memcmp memmove strcat strchr strcmp strlen strncmp strpbrk strrchr
                   strstr)
    list(APPEND early -Wl,-u,${prefix}${function})
  endforeach()
  target_link_options(${target} PRIVATE
    -Wl,-T,${CMAKE_SOURCE_DIR}/loader/resources/data-in-param-section.ld
    -nostartfiles -Wl,-e,${prefix}LoaderStartup
    -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc ${early})
endfunction()
