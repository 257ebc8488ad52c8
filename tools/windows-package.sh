#!/usr/bin/env bash
# The zip users on Windows unpack and run: builds the program for Windows (Qt for Windows from the
# cache, built first when missing: tools/qt-windows.sh), installs it stripped into a portable folder
# (the executables, Qt's DLLs, the MinGW-w64 runtime, the platform and style plugins, qt.conf and a
# first start file) and zips that folder as build-windows/Kestrelbox-<version>-windows-x64.zip.
# Prints each stage's time, the zip's path and its size.
# Usage: tools/windows-package.sh [BUILD_DIR]   (default: build-windows/program, as tools/windows-check.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/deps.sh"
kb_install "${KB_WINDOWS_PACKAGES[@]}"
build=${1:-$root/build-windows/program}
out=$root/build-windows
mkdir -p "$build" "$out"

now() { date +%s; }
start=$(now)
kb_windows_build "$root" "$build" Kestrelbox kestrelbox-print
built=$(($(now) - start))

start=$(now)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=Kestrelbox-$version-windows-x64
rm -rf "${out:?}/$name" "$out/$name.zip"
cmake --install "$build" --strip --prefix "$out/$name" >/dev/null
# The folder itself in the zip, so that it unpacks as one folder.
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "windows-package: build $built s, folder and zip $(($(now) - start)) s"
echo "$out/$name.zip: $(du -k "$out/$name.zip" | cut -f1) kB ($(du -sk "$out/$name" | cut -f1) kB unpacked)"
