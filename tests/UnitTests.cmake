# The unit-test programs whose files run natively as well: each row registers one Wine program
# (built by orva_add_wine_test in its area's CMakeLists.txt, which takes its files from here)
# and the native program (native/CMakeLists.txt, under the sanitizers) that its platform-free
# files are built into. Files marked "win32:" call Win32 and are left out natively; a row
# without a Wine program ("-") tests host-tool code, which is built natively only.
# <Wine program>|<native program>|<its native library>|<test files below tests/>
set(ORVA_UNIT_TESTS
  "foundation_string_tests|native_string_tests|native_foundation|foundation/VoStringTest.cpp"
  "foundation_status_tests|native_status_tests|native_foundation|foundation/VoTextBufferTest.cpp foundation/VoStatusTest.cpp win32:foundation/VoStatusWin32Test.cpp foundation/VoFailureReportTest.cpp"
  "payload_gzip_member_test|native_gzip_member_tests|native_payload|payload/GzipMemberTest.cpp payload/ReadBackCheckTest.cpp payload/PayloadBytes.cpp"
  "cmdline_tests|native_cmdline_tests|native_rules|cmdline/CommandLineTest.cpp cmdline/ParamBlockTest.cpp"
  "selfdeletion_tests|native_cmdline_tests|native_rules|selfdeletion/SelfDeletionBatchTest.cpp win32:selfdeletion/SelfDeletionStepTest.cpp win32:selfdeletion/SelfDeletionBatchRunTest.cpp"
  "form_decoding_test|native_form_decoding_tests|native_rules|registry/FormDecodingTest.cpp"
  "loaderlog_tests|native_bounded_text_tests|native_rules|win32:loaderlog/LoaderLogTests.cpp win32:loaderlog/FileOpsTests.cpp loaderlog/BoundedTextTests.cpp"
  "trust_tests|native_private_folder_tests|native_rules|trust/PrivateFolderRulesTest.cpp win32:trust/PrivateFolderTest.cpp"
  "-|native_stamp_tool_tests|native_stamp_tool|cmdline/StampToolTest.cpp"
  "-|native_deflate_division_tests|orva_pack|pack/DeflateDivisionTest.cpp"
  "-|native_tool_command_line_tests|orva_tool_cli|cmdline/ToolCommandLineTest.cpp")

# orva_unit_test_files(<out> WINE|NATIVE <program>): the files of that program, absolute.
function(orva_unit_test_files out build program)
  set(files)
  foreach(row ${ORVA_UNIT_TESTS})
    string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|[^|]*\\|(.*)" _ "${row}")
    set(row_files "${CMAKE_MATCH_3}")
    if(build STREQUAL "WINE" AND CMAKE_MATCH_1 STREQUAL program)
      string(REPLACE "win32:" "" row_files "${row_files}")
    elseif(NOT (build STREQUAL "NATIVE" AND CMAKE_MATCH_2 STREQUAL program))
      continue()
    endif()
    string(REGEX REPLACE "win32:[^ ]*" "" row_files "${row_files}")
    separate_arguments(row_files)
    list(TRANSFORM row_files PREPEND ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/)
    list(APPEND files ${row_files})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()
