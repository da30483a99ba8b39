# Flags for what ships: small (-Os, functions collected, stripped), no exceptions, no RTTI.
# No -fdata-sections: on PE targets it puts zero-filled objects into .data$<name>, so every
# static buffer would be stored in the file instead of costing nothing in .bss.
# __USE_MINGW_ANSI_STDIO=0: the C stdio names go to the system runtime instead of MinGW's own
# printf engine (about 25 KB with its floating-point conversions). Any C++ library header
# turns the engine back on, so the foundation formats through VoFormat, which calls the
# runtime's formatter by its own name; the stub-size test catches a return of the engine.
# Link-time optimisation lets the compiler see the loader whole (about 4.5 KB less); turn it
# off to read a linker map by object file.
option(ORVA_LTO "Link-time optimisation of the product code" ON)

function(orva_product_target target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
    -Os -ffunction-sections -fno-asynchronous-unwind-tables
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
  target_link_options(${target} PRIVATE -Os -mwindows -s -Wl,--gc-sections
    -Wl,-Map=$<TARGET_FILE_DIR:${target}>/${target}.map)
endfunction()
