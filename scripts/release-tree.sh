# Sourced by release.sh and kit.sh: the build tree of what ships, with the delivered i686
# loader's template and the host tools, Release, link-time optimisation, no test programs.
# The tree builds no loader with an installer: the installer is put into the template
# afterwards, so another installer needs no compiler.

# require_tools <command>...: fails naming the first that is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/setup.sh first"
  done
}

# configure_release_tree <source folder> <build folder>
configure_release_tree() {
  require_tools cmake ninja i686-w64-mingw32-g++-posix i686-w64-mingw32-windres \
    x86_64-w64-mingw32-g++-posix c++
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$1/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DBUILD_TESTING=OFF -DORVA_LTO=ON '-DLOADER_PAYLOAD=$<TARGET_FILE:demo-installer>' >/dev/null
}
