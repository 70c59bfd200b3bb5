#!/usr/bin/env bash
# CTest's emulator for the cross build: runs a Windows test program under the project's Wine.
# ./run prepares the prefix, display and driver and exports the variables; run by hand, the prefix
# beside the build tree is used.
set -e
exe=$1; shift
if [ -z "${WINEPREFIX:-}" ]; then
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    # shellcheck source=wine-env.sh
    . "$here/wine-env.sh"
    quorin_wine_vars "$(cd "$(dirname "$exe")/../.." && pwd)"
fi
exec "$WINELOADER" "$exe" "$@"
