# loader-stamp on a copy of the built loader: stamping, showing, stamping again, resetting,
# and the refusals that must leave the file untouched.
# Inputs: STAMP (the tool), LOADER (a built loader), OTHER (an executable that is no loader),
# WORK (a scratch folder).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(target ${WORK}/loader.exe)
file(COPY_FILE ${LOADER} ${target})
file(SIZE ${LOADER} original_size)
file(SHA256 ${LOADER} original_hash)

function(stamp expect_ok)
  execute_process(COMMAND ${STAMP} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expect_ok AND NOT rc EQUAL 0)
    message(FATAL_ERROR "loader-stamp ${ARGN} failed (${rc}): ${err}")
  elseif(NOT expect_ok AND rc EQUAL 0)
    message(FATAL_ERROR "loader-stamp ${ARGN} should have refused: ${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_in haystack needle)
  string(FIND "${haystack}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected [${needle}] in:\n${haystack}")
  endif()
endfunction()

stamp(TRUE --help)
expect_in("${out}" "sign")

# The block as built: no switches, 256 blanks of custom text.
stamp(TRUE ${target} --show)
expect_in("${out}" "command line:\n  []")
expect_in("${out}" "Custom-parameter text (256 characters)")

stamp(TRUE ${target} --switch Lang=en --switch Silent --custom "a=1&b=2" --show)
expect_in("${out}" "[ /Lang \"en\" /Silent]")
expect_in("${out}" "Custom-parameter text (7 characters):\n  [a=1&b=2]")
file(SIZE ${target} size)
if(NOT size EQUAL original_size)
  message(FATAL_ERROR "stamping changed the size: ${original_size} -> ${size}")
endif()

# Stamping twice replaces the whole block.
stamp(TRUE ${target} --switch X --show)
expect_in("${out}" "command line:\n  [ /X]")
expect_in("${out}" "Custom-parameter text (0 characters)")
file(SHA256 ${target} stamped_hash)

# Refusals: each leaves the file exactly as it was.
string(REPEAT "v" 300 long_text)
foreach(refused
    "--custom;${long_text}"
    "--switch;Name=say \"hi\""
    "--custom;a=\"1\""
    "--switch;My Name=1"
    "--switch;CustomParams=a=1"
    "--switch;=value")
  stamp(FALSE ${target} ${refused})
  file(SHA256 ${target} hash)
  if(NOT hash STREQUAL stamped_hash)
    message(FATAL_ERROR "refused stamp ${refused} changed the file")
  endif()
endforeach()
expect_in("${err}" "no name")

# A block that fills the 273 characters exactly still fits.
string(REPEAT "c" 257 fitting)  # "/CustomParams " + 257 + closing quote, after the opener
stamp(TRUE ${target} --custom ${fitting} --show)
expect_in("${out}" "Custom-parameter text (257 characters)")
stamp(FALSE ${target} --custom "${fitting}c")

# A program without the block section is no loader.
file(COPY_FILE ${OTHER} ${WORK}/other.exe)
file(SHA256 ${WORK}/other.exe other_hash)
stamp(FALSE ${WORK}/other.exe --switch X)
expect_in("${err}" "not a loader")
file(SHA256 ${WORK}/other.exe hash)
if(NOT hash STREQUAL other_hash)
  message(FATAL_ERROR "a file that is no loader was changed")
endif()
file(WRITE ${WORK}/text.exe "MZ not really")
stamp(FALSE ${WORK}/text.exe --show)

# --reset gives back the loader as built, byte for byte.
stamp(TRUE ${target} --reset)
file(SHA256 ${target} hash)
if(NOT hash STREQUAL original_hash)
  message(FATAL_ERROR "--reset did not restore the built block")
endif()
file(REMOVE_RECURSE ${WORK})
