#!/usr/bin/env bash
# Runs a command (for instance `ctest --preset windows`) with Wine set up for
# tests: a throw-away prefix, no debug output, no debugger on a crash, UTF-8,
# and a server started beforehand so that no Wine process keeps the command's
# output streams open after it ends.
#
#   windows/with-wine.sh COMMAND [ARGS...]
set -euo pipefail
prefix=$(mktemp -d)
export WINEPREFIX=$prefix/wine WINEDEBUG=-all WINEDLLOVERRIDES=winedbg.exe=d LC_ALL=C.UTF-8
unset DISPLAY
stop() {
    wineserver -k > /dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap stop EXIT
mkdir -p "$WINEPREFIX"
wineserver -p < /dev/null > /dev/null 2>&1
wine wineboot -i < /dev/null > /dev/null 2>&1
"$@"
