# Shared by ./run, ./test, bench/startup.sh and the Windows scripts: install missing Debian packages
# (through sudo when not root) and build. Sourced, not run.

# Installs those of the named packages that are not installed yet. When all are there it touches
# nothing: no apt-get update, no install.
kb_install() {
    local missing=() installed pkg
    # One query for all: the names of those installed.
    installed=$(dpkg-query -W -f='${Package} ${Status}\n' "$@" 2>/dev/null | awk '/ install ok installed$/ {print $1}' || true)
    for pkg in "$@"; do
        grep -qxF -- "$pkg" <<<"$installed" || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return 0
    local sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || {
            echo "Missing packages: ${missing[*]}; install them as root (no sudo here)." >&2
            return 1
        }
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    # Through env: sudo would drop the variable, and a package's questions would stop the install.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and running the program needs: compiler and build tools; Qt 6 Widgets, Print Support
# and Network (qt6-base-dev; libqt6gui6 brings the xcb platform plugin with its X libraries); CUPS for
# printing; SQLite for the print ledger (PrintLog.db); the Japanese faces the windows name after the MS
# ones; GoogleTest and Google Benchmark; Qt's Japanese translation (qtbase_ja.qm), which the install
# puts beside the executables; libzint for the 2D codes on the labels.
KB_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libqt6printsupport6 libqt6gui6 libgl-dev
    libcups2-dev libsqlite3-dev fontconfig fonts-ipafont-gothic fonts-ipafont-mincho googletest libgtest-dev
    libbenchmark-dev qt6-translations-l10n libzint-dev)
# What the tests need on top: a virtual X server and window driving (xdotool, xwininfo, xdpyinfo and
# xmessage from x11-utils), screenshots and pixel checks (imagemagick), a private print scheduler and
# its client tools, the PDF tools that read the printed pages back, and the desktop entry's validator;
# the filters and vendor PPDs of real printers' queues (cups-filters); python3 with libxfixes3 to read
# the mouse cursor on the screen; appstreamcli (appstream), man and groff to check the installed
# AppStream metainfo and manual page; zxing-cpp, the independent decoder that reads the printed codes back.
KB_TEST_PACKAGES=(xvfb xauth x11-utils xdotool imagemagick cups-daemon cups-client poppler-utils desktop-file-utils
    cups-filters python3 libxfixes3 appstream man-db groff-base libzxing-dev)
# The fuzz targets (clang with libFuzzer and its sanitizer runtimes) and the start-up bench's X event
# timer (xcb headers); the sanitizer build of .ci/run needs nothing more than g++.
KB_TEST_PACKAGES+=(clang-14 libclang-rt-14-dev libxcb1-dev)
# What the Windows build and its tests need: the MinGW-w64 cross compiler (POSIX thread model),
# GoogleTest's source to build with it, Wine to run the Windows executables, Wine's own faces
# (fonts-wine), which Wine 8 does not find by itself: the Windows tests copy them into their prefix,
# Ghostscript to render the PostScript pages that Wine's printer driver sends, and Qt's Japanese
# translation that the zip carries.
KB_WINDOWS_PACKAGES=(cmake ninja-build googletest g++-mingw-w64-x86-64-posix wine wine64 fonts-wine ghostscript
    qt6-translations-l10n)

# Configures and builds in Release into build/ with -j2.
kb_build() {
    local root=$1
    shift
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$root/build" -j2
}

# The Windows build of the program and its tests in BUILD: cross-compiled with MinGW-w64 through the
# project's own CMake, warnings as errors, against Qt for Windows from the cache (tools/qt-windows.sh,
# which builds it first when it is missing) and libzint for Windows (tools/zint-windows.sh, likewise); the
# tests run under Wine. Builds the targets named, or all.
# kb_windows_build ROOT BUILD [TARGET...]
kb_windows_build() {
    local root=$1 build=$2 qt zint sqlite target
    shift 2
    # Its last line is the folder (installing what it needs may print before it).
    qt=$(bash "$root/tools/qt-windows.sh" | tail -n 1)
    [[ -f $qt/.complete ]] || {
        echo "no Qt for Windows: tools/qt-windows.sh gave \"$qt\"" >&2
        return 1
    }
    zint=$(bash "$root/tools/zint-windows.sh" | tail -n 1)
    [[ -f $zint/.complete ]] || {
        echo "no libzint for Windows: tools/zint-windows.sh gave \"$zint\"" >&2
        return 1
    }
    # SQLite for the ledger, linked in statically (tools/sqlite-windows.sh builds it once).
    sqlite=$(bash "$root/tools/sqlite-windows.sh" | tail -n 1)
    [[ -f $sqlite/.complete ]] || {
        echo "no SQLite for Windows: tools/sqlite-windows.sh gave \"$sqlite\"" >&2
        return 1
    }
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$qt;$zint;$sqlite" \
        -DQT_HOST_PATH=/usr -DCMAKE_CROSSCOMPILING_EMULATOR=wine -DKB_BUILD_TESTS=ON -DKB_BUILD_BENCH=ON -DKB_WERROR=ON >/dev/null
    local targets=()
    for target in "$@"; do targets+=(--target "$target"); done
    cmake --build "$build" -j2 "${targets[@]}"
}

# The source of a Debian package, for the Windows builds of the libraries the program links: through a
# private apt list of deb-src entries made from the machine's own package sources (nothing of the
# system's apt configuration changes), unpacked into WORK/src. KB_APT_PRIVATE holds the options of that
# list for further downloads. kb_debian_source WORK PACKAGE=VERSION
kb_debian_source() {
    local work=$1 package=$2 f
    mkdir -p "$work/apt/lists/partial" "$work/apt/sources"
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f $f ]] && sed -n 's/^Types:.*\bdeb\b.*/Types: deb-src/;p' "$f" >"$work/apt/sources/${f##*/}"
    done
    if [[ -f /etc/apt/sources.list ]]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$work/apt/sources/base.list"
    fi
    KB_APT_PRIVATE=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/apt/sources"
        -o "Dir::State::Lists=$work/apt/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
        -o APT::Sandbox::User=root)
    apt-get "${KB_APT_PRIVATE[@]}" update -qq
    (cd "$work" && apt-get "${KB_APT_PRIVATE[@]}" source -qq --download-only "$package" >/dev/null)
    (cd "$work" && dpkg-source -x --no-check ./*.dsc src >/dev/null)
}

# Where one library's Windows build is kept: a folder of the cache (KB_QT_WINDOWS_CACHE, else
# ~/.cache/kestrelbox) named after the library and a key of everything its result depends on (the
# version, the compiler's, the options and the recipe's own number, raised when a step changes what
# is built), and the work folder it is built in. Sets KB_PREFIX and KB_WORK. A build already complete
# there is printed and ends the calling script; otherwise both folders start empty, so that a build cut
# short never leaves half a library that looks whole.
# kb_windows_cache NAME WORK_NAME COMPILER RECIPE VERSION OPTION...
kb_windows_cache() {
    local name=$1 work=$2 compiler=$3 recipe=$4 version=$5
    shift 5
    local key cache=${KB_QT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrelbox}
    key=$(sha256sum <<<"$version $($compiler -dumpfullversion) $* recipe $recipe" | cut -c1-12)
    KB_PREFIX=$cache/$name-mingw-$key
    KB_WORK=$cache/$work-$key
    if [[ -f $KB_PREFIX/.complete ]]; then
        echo "$KB_PREFIX"
        exit 0
    fi
    rm -rf "$KB_WORK" "$KB_PREFIX"
}
