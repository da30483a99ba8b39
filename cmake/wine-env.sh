# Sourced by the Wine helper scripts: one prefix per build folder, never the user's own.
# The build folder's orva-wine-arch file (written at configure time) says win32 or win64, and
# a 32-bit tree's orva-wine32 file names the Wine it was configured with (ORVA_WINE32).
: "${ORVA_BUILD_DIR:?ORVA_BUILD_DIR must name the build folder}"
ORVA_WINE_ARCH="$(cat "${ORVA_BUILD_DIR}/orva-wine-arch" 2>/dev/null || echo win32)"
export WINEPREFIX="${ORVA_BUILD_DIR}/wineprefix"
export WINEARCH="$ORVA_WINE_ARCH"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ "$ORVA_WINE_ARCH" = win64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
  export WINESERVER=/usr/lib/wine/wineserver64
  ORVA_WINE=/usr/lib/wine/wine64
else
  ORVA_WINE="$(cat "${ORVA_BUILD_DIR}/orva-wine32" 2>/dev/null || echo wine)"
fi
