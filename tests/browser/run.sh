#!/usr/bin/env bash
# End-to-end tests of the game's web page in headless Chromium (the *.test.mjs files here,
# run by node's test runner), ending with the line "browser: N passed, M failed".
#
#   tests/browser/run.sh [--page DIR] [--native BINARY]
#
# --page DIR       the built page (index.html, quorvale.js, .wasm, .data); without it the page
#                  is built with scripts/web into build-web/
# --native BINARY  the desktop game whose first view the page's is compared with, and which
#                  plays a network game with the page (quorvale-server beside it serves both);
#                  without it the game and the server are built into build-browser/native/
#
# Screenshots, the page's console, Chromium's log and the figures go to build-browser/out/
# (QUORVALE_BROWSER_OUT chooses another folder).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/common.sh"
cd "$quorvale_root"

page="" native=""
while [ $# -gt 0 ]; do
    case $1 in
    --page) page=$2; shift 2 ;;
    --native) native=$2; shift 2 ;;
    *)
        echo "usage: tests/browser/run.sh [--page DIR] [--native BINARY]" >&2
        exit 2
        ;;
    esac
done

# The browser, and what the desktop game's picture needs: a real X server, a frozen clock,
# synthetic input and screenshots.
install_packages chromium xvfb xauth xdotool x11-apps faketime imagemagick

if [ -z "$page" ]; then
    [ -x scripts/web ] || { echo "tests/browser/run.sh: no --page given and no scripts/web to build one" >&2; exit 2; }
    scripts/web
    page=build-web
fi
[ -f "$page/index.html" ] && [ -f "$page/quorvale.wasm" ] ||
    { echo "tests/browser/run.sh: $page holds no built page" >&2; exit 2; }

if [ -z "$native" ]; then
    install_packages "${build_packages[@]}"
    cmake -S . -B build-browser/native -DCMAKE_BUILD_TYPE=Release -DQUORVALE_BUILD_TESTS=OFF >/dev/null
    # The network game's test needs the game server beside the game.
    cmake --build build-browser/native -j2 --target quorvale quorvale-server -- --no-print-directory
    native=build-browser/native/quorvale
fi

source "$here/lib/run_files.bash"
install_test_modules

out=${QUORVALE_BROWSER_OUT:-$quorvale_root/build-browser/out}
rm -rf "$out"
mkdir -p "$out"
export QUORVALE_PAGE=$(realpath "$page") QUORVALE_NATIVE=$(realpath "$native")
export QUORVALE_BROWSER_OUT=$out QUORVALE_SOURCE=$quorvale_root

run_test_files "$out" -- menu play first_view sound failures robustness page graphics replay opponent network performance
report_test_files browser "$out"
