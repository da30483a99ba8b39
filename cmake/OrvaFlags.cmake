# Flags for what ships: small (-Os, sections collected, stripped), no exceptions, no RTTI.
function(orva_product_target target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
    -Os -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables
    -Wall -Wextra)
endfunction()

# Windows programs link the compiler's runtime statically, so they import system DLLs only.
function(orva_windows_program target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

function(orva_gui_program target)
  orva_windows_program(${target})
  target_link_options(${target} PRIVATE -mwindows -s -Wl,--gc-sections
    -Wl,-Map=$<TARGET_FILE_DIR:${target}>/${target}.map)
endfunction()
