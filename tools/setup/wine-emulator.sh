#!/usr/bin/env bash
# CTest's emulator for the cross build: runs a Windows test program under the project's Wine.
# ./run prepares the lanes (prefix, display and driver each) and exports the variables; a test
# that CTest gave a lane (resource "lanes", id:b,...) runs in that lane's prefix and display. Run
# by hand, the prefix beside the build tree is used.
set -e
exe=$1; shift
lane=${CTEST_RESOURCE_GROUP_0_LANES:-}
if [ -n "$lane" ] && [ -n "${QUORIN_LANES_DIR:-}" ]; then
    lane=${lane#id:}; lane=${lane%%,*}
    # shellcheck disable=SC1090
    . "$QUORIN_LANES_DIR/wine-lane-$lane.env"
fi
if [ -z "${WINEPREFIX:-}" ]; then
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    # shellcheck source=wine-env.sh
    . "$here/wine-env.sh"
    quorin_wine_vars "$(cd "$(dirname "$exe")/../.." && pwd)"
fi
# The program writes to a file, shown when it ends: a Wine service it starts on the way (the
# desktop's explorer.exe, say) inherits its output and lives on, and CTest would wait on an
# inherited pipe until that service ends.
out=$(mktemp "${TMPDIR:-/tmp}/quorin-test-output.XXXXXX")
trap 'rm -f "$out"' EXIT
rc=0
"$WINELOADER" "$exe" "$@" >"$out" 2>&1 </dev/null || rc=$?
cat "$out"
exit $rc
