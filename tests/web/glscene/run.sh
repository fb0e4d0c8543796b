#!/bin/bash
# Draws one scene with the game's OpenGL calls twice, natively with Mesa and in headless
# Chromium through the WebGL layer of src/gfx/web/, and compares the pictures.
#   tests/web/glscene/run.sh [output folder] [seconds of frame-rate measurement]
# Needs g++, SDL 1.2, libpng, Mesa, Xvfb, Debian's emscripten and chromium, and npm (it installs
# puppeteer-core into the output folder). The output folder keeps native.ppm, web.ppm and diff.ppm.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$(mkdir -p "${1:-$root/build-glscene}" && cd "${1:-$root/build-glscene}" && pwd)
seconds=${2:-}

includes=(-I"$root/src/base" -I"$root/src/world" -I"$root/src/gfx" -I"$root/src/client" -I"$here")
game_sources=("$root"/src/gfx/{mesh,glmisc,genmesh,materials,gui}.cpp "$root"/src/world/{genmap,voxel}.cpp
              "$root"/src/base/random.cpp "$root"/src/client/modelshapes.cpp)

echo "native scene"
# shellcheck disable=SC2046  # pkg-config's flags are meant to split
g++ -std=c++20 -O2 -Wall -Wextra "${includes[@]}" "$here/scene.cpp" "$here/scene_native.cpp" \
    "${game_sources[@]}" "$root"/src/gfx/{glproc_desktop,sdlmisc,pngmisc}.cpp \
    $(pkg-config --cflags --libs sdl libpng gl glu) -o "$out/scene_native"
LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$out/scene_native" "$root/resources/images" "$out"

echo "web scene"
embeds=()
for f in voxel entity0 entity1 misc; do
    embeds+=(--embed-file "$out/$f.rgba@/scene/$f.rgba")
done
NODE_PATH=/usr/share/nodejs em++ -std=c++20 -O2 -Wall -Wextra "${includes[@]}" -I"$root/src/gfx/web" \
    "$here/scene.cpp" "$here/scene_web.cpp" "${game_sources[@]}" "$root"/src/gfx/web/*.cpp \
    "${embeds[@]}" -o "$out/scene.js"
cp "$here/page.html" "$out/"

# The browser tests' pinned puppeteer-core, installed by their runner; else one of our own.
modules=$root/tests/browser/node_modules
if [ ! -d "$modules/puppeteer-core" ]; then
    modules=$out/node_modules
    [ -d "$modules/puppeteer-core" ] ||
        npm install --prefix "$out" --no-save --no-audit --no-fund --loglevel=error puppeteer-core@24.43.1
fi
NODE_PATH="$modules" node "$here/compare.cjs" "$out" $seconds
