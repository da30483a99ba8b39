# Sourced by the Wine helper scripts: one 32-bit prefix per build folder, never the user's own.
: "${ORVA_BUILD_DIR:?ORVA_BUILD_DIR must name the build folder}"
export WINEPREFIX="${ORVA_BUILD_DIR}/wineprefix"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
