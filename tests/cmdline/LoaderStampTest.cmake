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

# Refusals: each leaves the file exactly as it was, and names the option and the reason.
function(refuse expected)
  stamp(FALSE ${target} ${ARGN})
  file(SHA256 ${target} hash)
  if(NOT hash STREQUAL stamped_hash)
    message(FATAL_ERROR "refused stamp ${ARGN} changed the file")
  endif()
  expect_in("${err}" "${expected}")
  expect_in("${err}" "the file is left as it was")
endfunction()
# Each row: the arguments, then what the message must hold.
string(REPEAT "v" 300 long_text)
foreach(row
    "--custom|${long_text}|the parameter block holds 273"
    "--switch|Name=say \"hi\"|--switch Name=say \"hi\": the value holds a double quote"
    "--custom|a=\"1\"|--custom a=\"1\": the custom-parameter text holds a double quote"
    "--switch|My Name=1|--switch My Name=1: the name holds a blank"
    "--switch|CustomParams=a=1|use --custom"
    "--switch|=value|--switch =value: the switch has no name"
    "--switch|Name=Zoë|--switch Name=Zoë: the value holds text outside printable ASCII"
    "--custom|n=日|--codepage 1252"
    "--codepage|1252|--custom|n=日|--custom n=日: the custom-parameter text holds a character that code page 1252 cannot represent"
    "--codepage|932|--switch|Dir=表|in code page 932, in the byte of a backslash")
  string(REPLACE "|" ";" fields "${row}")
  list(POP_BACK fields expected)
  refuse("${expected}" ${fields})
endforeach()
# A backslash before the closing quote would make the installer swallow the switches after it.
refuse("--switch Dir=C:\\App\\: the value ends in a backslash" --switch "Dir=C:\\App\\")

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
