# Lays out the kit (see OrvaKit.cmake): cmake -DKIT=<folder> -DSOURCE=<source folder>
#   -DVERSION=<version> -DTEMPLATE=<loader-template.exe> -DLINUX_TOOLS=<host-tools folder>
#   -DWINDOWS_TOOLS=<host-tools-windows folder> -P lay-out-kit.cmake
file(REMOVE_RECURSE ${KIT})
file(MAKE_DIRECTORY ${KIT}/linux-x86_64 ${KIT}/windows-x86_64 ${KIT}/manuals)
file(COPY_FILE ${TEMPLATE} ${KIT}/loader-template.exe)
foreach(tool loader-pack loader-stamp)
  file(COPY ${LINUX_TOOLS}/${tool}/${tool} DESTINATION ${KIT}/linux-x86_64)
  file(COPY_FILE ${WINDOWS_TOOLS}/${tool}/${tool}.exe ${KIT}/windows-x86_64/${tool}.exe)
  file(COPY_FILE ${SOURCE}/tools/${tool}/README.md ${KIT}/manuals/${tool}.md)
endforeach()
file(COPY ${SOURCE}/scripts/make-bom.py DESTINATION ${KIT})
configure_file(${SOURCE}/tools/kit/README.md.in ${KIT}/README.md @ONLY)

# The notices: which third-party code is in which file, then the licences, as their sources
# give them.
execute_process(COMMAND ${LINUX_TOOLS}/loader-pack/loader-pack --version
                OUTPUT_VARIABLE pack_version COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "zlib ([0-9.]+)" _ "${pack_version}")
set(TOOLS_ZLIB_VERSION ${CMAKE_MATCH_1})
file(READ ${SOURCE}/third_party/zlib/zlib.h zlib_header)
string(REGEX MATCH "Copyright \\(C\\) [^*]*madler@alumni\\.caltech\\.edu" ZLIB_LICENCE
       "${zlib_header}")
file(READ ${SOURCE}/third_party/libdeflate/COPYING LIBDEFLATE_LICENCE)
file(READ /usr/share/doc/mingw-w64-common/copyright MINGW_LICENCES)
configure_file(${SOURCE}/tools/kit/THIRD-PARTY-NOTICES.txt.in ${KIT}/THIRD-PARTY-NOTICES.txt @ONLY)

file(GLOB_RECURSE files RELATIVE ${KIT} ${KIT}/*)
list(SORT files)
set(sums "")
foreach(f ${files})
  file(SHA256 ${KIT}/${f} hash)
  string(APPEND sums "${hash}  ${f}\n")
endforeach()
file(WRITE ${KIT}/SHA256SUMS "${sums}")
