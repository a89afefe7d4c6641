#!/usr/bin/env bash
# Runs a command (for instance `ctest --preset windows`) with Wine set up for
# tests: a throw-away prefix, no debug output, no debugger on a crash, UTF-8,
# and a server started beforehand so that no Wine process keeps the command's
# output streams open after it ends.
#
# Debian's wine64 loader is linked at a fixed address with no preloader, so the
# kernel may place its randomised heap over the address where Wine maps the
# shared user data (0x7ffe0000); about one start in a few thousand then fails
# with "failed to map the shared user data" and no output from the program.
# Address randomisation is therefore turned off for the command and everything
# it starts, where the system allows it.
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
no_aslr=(setarch "$(uname -m)" -R)
if ! "${no_aslr[@]}" true 2> /dev/null; then
    echo "with-wine.sh: cannot turn off address randomisation; Wine may fail to start now and then" >&2
    no_aslr=()
fi
"${no_aslr[@]}" wine wineboot -i < /dev/null > /dev/null 2>&1
"${no_aslr[@]}" "$@"
