#!/usr/bin/env bash
# The core page tests again in a second engine: Debian's firefox-esr, driven by the same
# puppeteer-core (over WebDriver BiDi). Headless Firefox has no WebGL, so it runs with a window
# on Xvfb (WebGL in Mesa's llvmpipe), and its sound goes to a private PulseAudio server with a
# null sink (without one Firefox keeps every audio context suspended). Ends with the line
# "firefox: N passed, M failed".
#
#   tests/browser/firefox.sh --page DIR --native BINARY
#
# --page and --native as for run.sh (both required here). Pictures, console logs and figures
# go to build-browser/out-firefox/ (QUORVALE_BROWSER_OUT chooses another folder).
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
        echo "usage: tests/browser/firefox.sh --page DIR --native BINARY" >&2
        exit 2
        ;;
    esac
done
[ -n "$page" ] && [ -f "$page/index.html" ] && [ -f "$page/quorvale.wasm" ] ||
    { echo "tests/browser/firefox.sh: --page must name a built page (scripts/web)" >&2; exit 2; }
[ -n "$native" ] && [ -x "$native" ] ||
    { echo "tests/browser/firefox.sh: --native must name the desktop game" >&2; exit 2; }

install_packages firefox-esr pulseaudio xvfb xauth xdotool x11-apps faketime imagemagick
source "$here/lib/run_files.bash"
install_test_modules

# A sound server of this run's own, which plays into nothing at the pace of a sound card.
audio=$(mktemp -d)
HOME=$audio XDG_RUNTIME_DIR=$audio pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --log-target=file:"$audio/pulse.log" -L "module-null-sink sink_name=quorvale_tests" \
    -L "module-native-protocol-unix socket=$audio/pulse.sock auth-anonymous=1" &
pulse_pid=$!
trap 'kill "$pulse_pid" 2>/dev/null; wait "$pulse_pid" 2>/dev/null; rm -rf "$audio"' EXIT
for _ in $(seq 50); do
    [ -S "$audio/pulse.sock" ] && break
    sleep 0.1
done
[ -S "$audio/pulse.sock" ] || { echo "tests/browser/firefox.sh: PulseAudio did not start:" >&2; cat "$audio/pulse.log" >&2; exit 1; }

out=${QUORVALE_BROWSER_OUT:-$quorvale_root/build-browser/out-firefox}
rm -rf "$out"
mkdir -p "$out"
export QUORVALE_PAGE=$(realpath "$page") QUORVALE_NATIVE=$(realpath "$native")
export QUORVALE_BROWSER_OUT=$out QUORVALE_SOURCE=$quorvale_root QUORVALE_ENGINE=firefox
export PULSE_SERVER=unix:$audio/pulse.sock

run_test_files "$out" xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" -- \
    menu play first_view sound failures page graphics
report_test_files firefox "$out"
