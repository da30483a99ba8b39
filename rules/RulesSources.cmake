# The loader's platform-free rules and the bounded text they are written with: one list for the
# loader (loader_rules), the native build (sanitizers and fuzzers) and loader-stamp.
set(ORVA_RULES_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BoundedText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormDecoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParamBlock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrivateFolderRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelfDeletionBatch.cpp)
