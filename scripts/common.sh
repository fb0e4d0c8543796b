# Shared by scripts/run and scripts/test: installs the Debian packages the game
# and its tests need, skipping those already present.

quorvale_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

build_packages=(g++ cmake make pkg-config libsdl1.2-compat-dev libpng-dev libgl-dev libglu1-mesa-dev
                libgl1-mesa-dri)
# The game server and the network test players: Boost.Beast over Boost.Asio, headers only.
build_packages+=(libboost-dev)
# The desktop game reaches wss:// servers over OpenSSL.
build_packages+=(libssl-dev)
test_packages=(libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-apps faketime imagemagick python3
               libx11-dev libxfixes-dev)
# The install test checks the desktop menu entry and the software-centre description.
test_packages+=(desktop-file-utils appstream)
# The wss:// test puts a TLS proxy with a certificate of its own in front of the game server.
test_packages+=(socat openssl)

# The loader fuzz targets: clang++ with its libFuzzer and sanitizer runtimes, and the
# symbolizer that puts file and line into a report.
fuzz_packages=(clang libclang-rt-dev llvm)

# configure_and_build DIR [cmake args...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$quorvale_root" -B "$dir" "$@" >/dev/null || return 1
    cmake --build "$dir" -j"$(nproc)" -- --no-print-directory || return 1
}
