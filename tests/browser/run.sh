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

# One file at a time, each in a node of its own: the machine's two cores render the page in
# software, and timings and frame rates would suffer from a neighbour. Only what node 18's test
# runner has (Debian bookworm's node): no --test-concurrency, no --test-timeout; the tests set
# their own time limits, and a file that hangs all the same is stopped after 15 minutes.
echo "browser tests under node $(node --version)"
files=(menu play first_view sound failures robustness page performance)
count() { sed -n "s/^# $1 \([0-9]*\)$/\1/p" "$log" | tail -n 1; }
status=0 passed=0 failed=0 skipped=0
: >"$out/run.log"
for file in "${files[@]}"; do
    log=$out/run-$file.log
    (cd tests/browser && timeout -k 10 900 node --test --test-reporter=tap "$file.test.mjs") 2>&1 |
        tee "$log" || status=$?
    cat "$log" >>"$out/run.log"
    n=$(count pass) f=$(count fail) s=$(count skipped)
    # A file that never got to its summary (stopped, crashed) counts as one failure.
    [ -n "$n" ] || { echo "$file.test.mjs: no summary from node (exit status $status)"; f=${f:-1}; }
    passed=$((passed + ${n:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
done

[ "$skipped" -gt 0 ] && echo "(${skipped} steps skipped after a failed step before them)"
echo "pictures, console logs and figures: $out"
echo "browser: $passed passed, $failed failed"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
