#!/usr/bin/env bash
# Qt for Windows, built once from Debian's own qt6-base source with MinGW-w64 and kept in a cache
# folder outside the work tree: the Qt that tools/windows-package.sh and the Windows tests build the
# program with. Reused while the Qt version and the configure options stay the same; built afresh when
# either changes. Prints each stage's time and, last, the install folder.
# Usage: tools/qt-windows.sh            builds when missing; prints the folder
#        KB_QT_WINDOWS_CACHE=DIR ...    another cache folder (default ~/.cache/kestrelbox)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/deps.sh"
# Debian's host Qt gives the build its tools (moc, rcc, uic) and the version whose source is built;
# libwine-dev is only unpacked, for two headers (below).
kb_install "${KB_WINDOWS_PACKAGES[@]}" qt6-base-dev qt6-base-dev-tools dpkg-dev

# Everything the result depends on, in the key: the host Qt's version (the source's is the same), the
# compiler's, the options, and the recipe's own number (raise it when a step below changes what is
# built).
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
# The smallest Qt the program and its tests need: Core, Gui, Widgets, PrintSupport, Network (the
# single-instance guard's local socket) and Test (the widget tests' event helpers); no OpenGL, D-Bus,
# ICU (the code page goes through the system's own calls), SQL, XML or TLS. Direct2D stays: Qt 6.4
# builds its DirectWrite font engine, which the Windows print engine calls, only with it.
options=(-release -shared -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-openssl
    -no-feature-sql -no-feature-xml -no-feature-concurrent -no-feature-vulkan -no-feature-jpeg
    -no-freetype -no-fontconfig -qt-zlib -qt-pcre -qt-libpng -qt-harfbuzz
    -no-feature-sspi -no-feature-schannel)
recipe=1
kb_windows_cache "qt-${qt_version%%+*}" work x86_64-w64-mingw32-g++-posix "$recipe" "$qt_version" "${options[@]}"
prefix=$KB_PREFIX
work=$KB_WORK

now() { date +%s; }
stage() { echo "qt-windows: $1: $(($(now) - $2)) s" >&2; }
# The source, from Debian (tools/deps.sh).
start=$(now)
kb_debian_source "$work" "qt6-base=$qt_version"
# The Windows platform plugin includes the tablet interface headers that Debian's source leaves out;
# Wine's own (LGPL) copies stand in for them.
(cd "$work" && apt-get download -qq libwine-dev >/dev/null && dpkg-deb -x libwine-dev_*.deb wine-dev)
wintab=$work/src/src/3rdparty/wintab
mkdir -p "$wintab"
cp "$(find "$work/wine-dev" -name wintab.h -path '*wine/windows*' | head -n1)" "$wintab/wine-wintab.h"
cp "$(find "$work/wine-dev" -name pktdef.h -path '*wine/windows*' | head -n1)" "$wintab/pktdef.h"
# Wine's header leans on two macros of Wine's own Windows headers, and Qt on the API macro of the
# tablet vendor's header: a few lines give them for MinGW-w64's headers.
cat >"$wintab/wintab.h" <<'EOF'
#pragma once
#include <windows.h>
#ifndef DECL_WINELIB_TYPE_AW
#ifdef UNICODE
#define WINELIB_NAME_AW(name) name##W
#else
#define WINELIB_NAME_AW(name) name##A
#endif
#define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif
#ifndef API
#define API WINAPI
#endif
#include "wine-wintab.h"
EOF
stage "source" "$start"

start=$(now)
mkdir -p "$work/build"
(cd "$work/build" && "$work/src/configure" -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr \
    "${options[@]}" -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -G Ninja >"$work/configure.log" 2>&1) || {
    tail -n 40 "$work/configure.log" >&2
    exit 1
}
stage "configure" "$start"

start=$(now)
cmake --build "$work/build" --parallel 2 >"$work/build.log" 2>&1 || {
    grep -B2 -A12 'FAILED:' "$work/build.log" | head -n 60 >&2
    exit 1
}
stage "build" "$start"
start=$(now)
cmake --install "$work/build" >/dev/null
touch "$prefix/.complete"
rm -rf "$work"
stage "install" "$start"
echo "$prefix"
