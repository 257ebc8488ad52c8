# Shared by ./run and ./test: install missing Debian packages (through sudo when not root) and build.
# Sourced, not run.

kb_install() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return 0
    local sudo=()
    ((EUID == 0)) || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and running the program needs.
KB_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libqt6printsupport6 libqt6gui6 libgl-dev
    libcups2-dev fonts-ipafont-gothic fonts-ipafont-mincho googletest libgtest-dev libbenchmark-dev)
# What the tests need on top: a virtual X server, a print scheduler, PDF tools, window driving.
KB_TEST_PACKAGES=(xvfb xauth cups-daemon cups-client poppler-utils xdotool x11-utils imagemagick)

# Configures and builds in Release into build/ with -j2.
kb_build() {
    local root=$1
    shift
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$root/build" -j2
}
