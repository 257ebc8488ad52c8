#!/usr/bin/env bash
# The Windows build, as far as this machine can show it: the whole program and its tests cross-compiled
# with MinGW-w64 through the project's own CMake (-Werror) against Qt for Windows from the cache
# (tools/qt-windows.sh builds it first when it is missing, about 18 min on 2 cores), and the tests of
# that build run under Wine: every rules unit test, the codec, the spooler calls and the start file's
# paths (tests/windows/). The window and the command themselves are tried under Wine by the Linux
# build's e2e_windows (tests/e2e/windows_test.sh), which takes this build. Installs its packages when
# missing; prints how long each stage took.
# Usage: tools/windows-check.sh [BUILD_DIR]   (default: build-windows/program in the source tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/deps.sh"
kb_install "${KB_WINDOWS_PACKAGES[@]}"
build=${1:-$root/build-windows/program}
mkdir -p "$build"
build=$(cd "$build" && pwd)

# Wine's own prefix in the build folder: set up once (the slow first start), reused by later runs.
# No display: nothing may open a window, and a crash ends the test instead of waiting in a dialog.
export WINEPREFIX=$build/wine-prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset DISPLAY WAYLAND_DISPLAY

now() { date +%s%3N; } # milliseconds
took() {
    local ms=$(($(now) - $1))
    echo "$((ms / 1000)).$((ms % 1000 / 100)) s"
}

start=$(now)
kb_windows_build "$root" "$build"
built=$(took "$start")

start=$(now)
# One server for all the tests (each would otherwise start its own), ended with the script. A server
# left by a run a moment ago lingers for a few seconds: it ends first.
mkdir -p "$WINEPREFIX"
wineserver --wait
wineserver --persistent
trap 'wineserver --kill' EXIT
# Wine's first program starts its services (they live as long as the server). Started here, they hold
# no output pipe that ctest waits on; a new prefix is set up on the way.
wineboot --init >/dev/null 2>&1
wine_ready=$(took "$start")

start=$(now)
ctest --test-dir "$build" --output-on-failure --timeout 120 -L windows
echo "Windows check: build $built, Wine start $wine_ready, tests $(took "$start")"
