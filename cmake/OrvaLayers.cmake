# The product's layers, bottom to top; each links only layers below it (or its system libraries):
#
#   orva_zlib      third_party/zlib          the inflate side of zlib
#   vofoundation   VoFoundation/             strings, status, trace log, threads, limits,
#                                            system queries, owners
#   loader_rules   rules/                    the loader's platform-free rules, bounded text
#   loader_log     loaderlog/                the loader log, file operations
#   voregistry     VoUtil/VoRegistry/        the registry key class
#   loader_box     loader/CannotStartBox.*   the loader's one message box
#   payload        payload/                  finding, checking and inflating the installer
#   loader_core    loader/                   the main sequence and its steps
#   loader         loader/WinMain.cpp        the entry, and its start-up (loader_startup,
#                  loader/Startup.cpp        loader/Startup.cpp)
#
# tests/layers/check_layers.py holds the same order for the includes.

# <target>:<the product libraries it may link>
set(ORVA_LAYER_LINKS
  "orva_zlib:"
  "vofoundation:"
  "vofoundation_statics:"
  "loader_rules:vofoundation"
  "loader_log:loader_rules vofoundation"
  "voregistry:vofoundation"
  "loader_box:loader_log vofoundation"
  "payload:loader_box loader_log loader_rules vofoundation orva_zlib"
  "loader_core:payload loader_box voregistry loader_log loader_rules vofoundation"
  "loader_startup:")

# Fails the configure step when a product library links one that its layer may not: a link
# upwards, or sideways between the log and the registry class.
function(orva_check_layers)
  set(layered)
  foreach(entry ${ORVA_LAYER_LINKS})
    string(REGEX REPLACE ":.*" "" target "${entry}")
    list(APPEND layered ${target})
  endforeach()
  foreach(entry ${ORVA_LAYER_LINKS})
    string(REGEX REPLACE ":.*" "" target "${entry}")
    string(REGEX REPLACE "^[^:]*:" "" allowed "${entry}")
    separate_arguments(allowed)
    if(NOT TARGET ${target})
      message(FATAL_ERROR "Layer check: the product library ${target} is not defined")
    endif()
    get_target_property(links ${target} LINK_LIBRARIES)
    foreach(link ${links})
      if(link IN_LIST layered AND NOT link IN_LIST allowed)
        message(FATAL_ERROR "Layer check: ${target} links ${link}, which is not below it")
      endif()
    endforeach()
  endforeach()
endfunction()
