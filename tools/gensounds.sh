#!/usr/bin/env bash
# Regenerates resources/sounds/: the spoken replies with espeak-ng and sox, everything else
# synthesised by the gensounds tool. Only needed to change the sounds; they are committed.
#
#   tools/gensounds.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
tool=$build/gensounds
[ -x "$tool" ] || { echo "build the gensounds tool first (cmake --build $build --target gensounds)" >&2; exit 1; }
command -v espeak-ng >/dev/null && command -v sox >/dev/null ||
    { echo "needs espeak-ng and sox (apt-get install espeak-ng sox)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# speak NAME VOICE PITCH SPEED TEXT: a raw 16-bit mono 44100 Hz recording, silence trimmed.
speak() {
    espeak-ng -v "$2" -p "$3" -s "$4" -w "$work/$1.wav" "$5"
    sox "$work/$1.wav" -r 44100 -c 1 -b 16 -e signed-integer -t raw "$work/$1.raw" \
        silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse lowpass 7000
}
speak roger0 en-us+m3 42 140 "roger"
speak okay0 en-us 38 150 "okay"
speak okay1 en-gb+f3 62 160 "okay"

mkdir -p "$root/resources/sounds"
"$tool" "$root/resources/sounds" "$work"
