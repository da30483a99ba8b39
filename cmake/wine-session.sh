#!/usr/bin/env bash
# One Wine session for a whole test run (CTest's wine_session fixture, see tests/CMakeLists.txt):
#   wine-session.sh start <build folder>   ends any session of the build's prefix, then boots
#                                           a new one whose server stays up until "end"
#   wine-session.sh end <build folder>     ends the session and every program still in it
# The server and the services that a session's first program starts inherit that program's
# output handles; here they get the file <build folder>/Testing/wine-session.log, so that no
# test's output stays open behind them.
# Reboot-time operations (PendingFileRenameOperations) registered in a session are carried
# out, and cleared, when the next session boots: tests read them before "end".
set -euo pipefail
action="$1"
ORVA_BUILD_DIR="$(cd "$2" && pwd)"
. "$(dirname "$0")/wine-env.sh"
server="${WINESERVER:-wineserver}"
log="$ORVA_BUILD_DIR/Testing/wine-session.log"

case "$action" in
  start)
    "$(dirname "$0")/wine-prefix.sh" "$ORVA_BUILD_DIR"
    "$server" -k >/dev/null 2>&1 || true
    "$server" -w
    mkdir -p "$(dirname "$log")"
    : > "$log"
    # Persistent: the server stays up between test programs, even while none runs.
    "$server" -p </dev/null >>"$log" 2>&1
    "$ORVA_WINE" cmd /c exit </dev/null >>"$log" 2>&1
    echo "Wine session started for $WINEPREFIX (output in $log)"
    ;;
  end)
    "$server" -k >/dev/null 2>&1 || true
    "$server" -w
    echo "Wine session ended for $WINEPREFIX"
    ;;
  *)
    echo "usage: $0 start|end <build folder>" >&2
    exit 2
    ;;
esac
