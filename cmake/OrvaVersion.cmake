# The loader's version: project(VERSION <major>.<minor>.<build>) in the top CMakeLists.txt is
# its one source. At configure time it is written into ORVA_GENERATED_DIR as
#   loader/LoaderVersion.h            the numbers and texts, for the code and the resource script
#   loader/resources/loader.manifest  the elevation manifest, from loader.manifest.in
# The manifest is written without its comments and indentation: its bytes are in the stub.
set(ORVA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(ORVA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR} Build ${PROJECT_VERSION_PATCH}")
set(ORVA_FILE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.${PROJECT_VERSION_PATCH}")
set(ORVA_LOADER_VERSION_HEADER ${ORVA_GENERATED_DIR}/loader/LoaderVersion.h)
set(ORVA_LOADER_MANIFEST ${ORVA_GENERATED_DIR}/loader/resources/loader.manifest)
configure_file(${CMAKE_SOURCE_DIR}/loader/LoaderVersion.h.in ${ORVA_LOADER_VERSION_HEADER} @ONLY)

file(READ ${CMAKE_SOURCE_DIR}/loader/resources/loader.manifest.in manifest)
string(CONFIGURE "${manifest}" manifest @ONLY)
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" manifest "${manifest}")
string(REGEX REPLACE ">[ \t\r\n]+<" "><" manifest "${manifest}")
string(STRIP "${manifest}" manifest)
file(CONFIGURE OUTPUT ${ORVA_LOADER_MANIFEST} CONTENT "${manifest}\n" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/loader/resources/loader.manifest.in)
