#!/usr/bin/env bash
# zint for Windows: libzint built once from Debian's own zint source with MinGW-w64, as a static
# library (no PNG, no Qt, no command-line tool: the program only asks it for module matrices), kept in
# a cache folder outside the work tree beside Qt for Windows. Reused while the version, the compiler,
# the options and this recipe stay the same. Prints, last, the install folder.
# Usage: tools/zint-windows.sh            builds when missing; prints the folder
#        KB_QT_WINDOWS_CACHE=DIR ...      another cache folder (default ~/.cache/kestrelbox)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/deps.sh"
# The Linux build's libzint-dev names the version whose source is built, so both builds draw the
# same symbols.
kb_install "${KB_WINDOWS_PACKAGES[@]}" libzint-dev dpkg-dev

zint_version=$(dpkg-query -W -f='${Version}' libzint-dev)
options=(-DZINT_STATIC=ON -DZINT_USE_PNG=OFF -DZINT_USE_QT=OFF -DCMAKE_BUILD_TYPE=Release)
recipe=2
kb_windows_cache "zint-${zint_version%%-*}" zint-work x86_64-w64-mingw32-gcc-posix "$recipe" "$zint_version" "${options[@]}"
prefix=$KB_PREFIX
work=$KB_WORK

now() { date +%s; }
stage() { echo "zint-windows: $1: $(($(now) - $2)) s" >&2; }
# The source, from Debian (tools/deps.sh).
start=$(now)
kb_debian_source "$work" "zint=$zint_version"
stage "source" "$start"

start=$(now)
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >"$work/configure.log" 2>&1 || {
    tail -n 40 "$work/configure.log" >&2
    exit 1
}
cmake --build "$work/build" --parallel 2 --target zint-static >"$work/build.log" 2>&1 || {
    grep -B2 -A12 'FAILED:' "$work/build.log" | head -n 60 >&2
    exit 1
}
mkdir -p "$prefix/include" "$prefix/lib"
cp "$work/src/backend/zint.h" "$work/src/backend/zintconfig.h" "$prefix/include/"
cp "$(find "$work/build" -name 'libzint-static.a' | head -n1)" "$prefix/lib/libzint-static.a"
# Its licence travels with the Windows package.
mkdir -p "$prefix/share/doc/zint"
cp "$work/src/LICENSE" "$prefix/share/doc/zint/LICENSE"
touch "$prefix/.complete"
rm -rf "$work"
stage "build" "$start"
echo "$prefix"
