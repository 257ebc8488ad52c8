#!/usr/bin/env bash
# SQLite for Windows, for the print ledger: built once from Debian's own sqlite3 source package with
# MinGW-w64 into a static library, kept in a cache folder outside the work tree as Qt for Windows is
# (tools/qt-windows.sh). Reused while the version, the compiler, the options and this recipe stay the
# same. Prints, last, the install folder (include/sqlite3.h, lib/libsqlite3.a).
# Usage: tools/sqlite-windows.sh          builds when missing; prints the folder
#        KB_QT_WINDOWS_CACHE=DIR ...      another cache folder (default ~/.cache/kestrelbox)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/deps.sh"
# The amalgamation (sqlite3.c) is made from the source tree by its own tools, which need a host
# compiler and tclsh.
kb_install "${KB_WINDOWS_PACKAGES[@]}" libsqlite3-dev dpkg-dev tcl gcc make

version=$(dpkg-query -W -f='${Version}' libsqlite3-dev)
# Threads serialised by SQLite itself; no extension loading (nothing is ever loaded into the ledger).
options=(-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DQS=0 -DSQLITE_DEFAULT_MEMSTATUS=0)
recipe=1
kb_windows_cache "sqlite-${version%%-*}" work-sqlite x86_64-w64-mingw32-gcc-posix "$recipe" "$version" "${options[@]}"
prefix=$KB_PREFIX
work=$KB_WORK

# The source, from Debian (tools/deps.sh).
kb_debian_source "$work" "sqlite3=$version"

# The amalgamation, made on the host; then compiled for Windows.
(cd "$work/src" && ./configure >"$work/configure.log" 2>&1 && make sqlite3.c >"$work/make.log" 2>&1) || {
    tail -n 30 "$work/configure.log" "$work/make.log" >&2
    exit 1
}
mkdir -p "$prefix/include" "$prefix/lib"
x86_64-w64-mingw32-gcc-posix "${options[@]}" -c "$work/src/sqlite3.c" -o "$work/sqlite3.o"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$work/sqlite3.o"
cp "$work/src/sqlite3.h" "$work/src/sqlite3ext.h" "$prefix/include/"
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
