#!/usr/bin/env bash
# End-to-end tests of the game's web page in headless Chromium (the *.test.mjs files here,
# run by node's test runner), ending with the line "browser: N passed, M failed".
#
#   tests/browser/run.sh [--page DIR] [--native BINARY]
#
# --page DIR       the built page (index.html, quorvale.js, .wasm, .data); without it the page
#                  is built with scripts/web into build-web/
# --native BINARY  the desktop game whose first view the page's is compared with; without it
#                  the game is built into build-browser/native/
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
# synthetic input and screenshots. Node comes from PATH when there is one.
install_packages chromium xvfb xauth xdotool x11-apps faketime imagemagick
command -v node >/dev/null && command -v npm >/dev/null || install_packages nodejs npm

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
    cmake --build build-browser/native -j2 --target quorvale -- --no-print-directory
    native=build-browser/native/quorvale
fi

# npm ci once per change of the lock file (it empties node_modules first).
if ! cmp -s tests/browser/package-lock.json tests/browser/node_modules/.installed-lock; then
    (cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
    cp tests/browser/package-lock.json tests/browser/node_modules/.installed-lock
fi

out=${QUORVALE_BROWSER_OUT:-$quorvale_root/build-browser/out}
rm -rf "$out"
mkdir -p "$out"
export QUORVALE_PAGE=$(realpath "$page") QUORVALE_NATIVE=$(realpath "$native")
export QUORVALE_BROWSER_OUT=$out QUORVALE_SOURCE=$quorvale_root

# One file at a time: the machine's two cores render the page in software, and timings and
# frame rates would suffer from a neighbour.
status=0
(cd tests/browser && node --test --test-concurrency=1 --test-timeout=180000 --test-reporter=tap \
    menu.test.mjs play.test.mjs first_view.test.mjs sound.test.mjs failures.test.mjs \
    robustness.test.mjs page.test.mjs performance.test.mjs opponent.test.mjs) 2>&1 | tee "$out/run.log" || status=$?

count() { sed -n "s/^# $1 \([0-9]*\)$/\1/p" "$out/run.log" | tail -n 1; }
passed=$(count pass) failed=$(count fail) skipped=$(count skipped)
passed=${passed:-0} failed=${failed:-0}
[ "${skipped:-0}" -gt 0 ] && echo "(${skipped} steps skipped after a failed step before them)"
echo "pictures, console logs and figures: $out"
echo "browser: $passed passed, $failed failed"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
