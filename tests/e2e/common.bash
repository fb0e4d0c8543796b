# Shared by the end-to-end scripts: start the game in a real window under the X server
# of the test command, find its window, send it input, look at it and wait for its end.
# Each script is called as: bash script.sh <quorvale binary> <source root>
set -euo pipefail

game=$(realpath "$1")
source_root=$2
export SDL_AUDIODRIVER=dummy  # the test machine has no sound device
# Without this, a game that cannot reach the X server would fall back to an off-screen
# driver and run with no window to test; it must fail at start-up instead.
export SDL_VIDEODRIVER=x11
work=$(mktemp -d)
trap 'kill_game; rm -rf "$work"' EXIT

game_pid=""
window=""

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/stdout" ] && { echo "--- game stdout" >&2; tail -n 20 "$work/stdout" >&2; }
    [ -f "$work/stderr" ] && { echo "--- game stderr" >&2; tail -n 20 "$work/stderr" >&2; }
    exit 1
}

kill_game() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then
        kill "$game_pid" 2>/dev/null || true
        wait "$game_pid" 2>/dev/null || true
    fi
    game_pid=""
}

# start_game [dir]: runs the game from dir (default the source root), output into $work,
# with the arguments in game_args.
game_args=()
start_game() {
    local dir=${1:-$source_root}
    # A library preloaded by the caller (libfaketime freezes the clock) comes before the
    # sanitizer runtime of an instrumented build; that order is intended here.
    local asan_options=${ASAN_OPTIONS:-}
    [ -n "${LD_PRELOAD:-}" ] && asan_options="${asan_options:+$asan_options:}verify_asan_link_order=0"
    (cd "$dir" && ASAN_OPTIONS=$asan_options exec "$game" "${game_args[@]}") >"$work/stdout" 2>"$work/stderr" &
    game_pid=$!
}

# game_preload LIB...: the LD_PRELOAD list that puts LIBs under the game; an instrumented
# build needs its sanitizer runtime first among the preloaded libraries.
game_preload() {
    local asan_lib
    asan_lib=$(ldd "$game" | awk '/libasan/ { print $3; exit }')
    local IFS=:
    echo "${asan_lib:+$asan_lib:}$*"
}

# build_sdl_calls: builds the library that writes down the game's window requests to SDL
# into $work/sdl_calls.so; preload it with QUORVALE_SDL_CALLS naming the log file.
build_sdl_calls() {
    g++ -O1 -shared -fPIC -o "$work/sdl_calls.so" "$(dirname "${BASH_SOURCE[0]}")/sdl_calls.cpp" -ldl ||
        fail "could not build the SDL call log"
}

# Waits until the game's window is mapped, then puts the pointer on it, because without a
# window manager key events go to the window under the pointer.
find_window() {
    local i
    # A loaded machine can take long to map the window of an instrumented build; the
    # window's pid property is looked up first, its class as a second way in.
    for i in $(seq 1 240); do
        window=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] ||
            window=$(xdotool search --onlyvisible --class quorvale 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
        sleep 0.25
    done
    if [ -z "$window" ]; then
        # What the X server holds, to tell a window never made from one the search missed.
        command -v xwininfo >/dev/null && xwininfo -root -tree >&2
        fail "no game window"
    fi
    xdotool mousemove --window "$window" "${1:-20}" "${2:-20}"
    sleep 1.5  # a few frames with the menu drawn
}

# wait_exit SECONDS: waits for the game to end and sets $status to its exit status.
status=""
wait_exit() {
    local i
    for i in $(seq 1 $(($1 * 4))); do
        if ! kill -0 "$game_pid" 2>/dev/null; then
            status=0
            wait "$game_pid" || status=$?
            game_pid=""
            return 0
        fi
        sleep 0.25
    done
    fail "the game did not end within $1 s"
}

# fast_forward_until REGEX TRIES: holds F1 until the game prints a line matching REGEX
# (grep -E), looking every half second at most TRIES times; the caller checks that it came.
fast_forward_until() {
    local i
    xdotool keydown --window "$window" F1
    for i in $(seq 1 "$2"); do
        grep -Eq "$1" "$work/stdout" && break
        sleep 0.5
    done
    xdotool keyup --window "$window" F1
}

# order_all_to_crosshair: selects the player's units (Ctrl+A) and clicks the ground at the
# crosshair, until the game prints "Go to (...)": a loaded machine may still be drawing its
# first frames of play, so the click is given again until it counts. A unit may stand where the
# crosshair points (in a network game the other player's units walk about the middle), and a
# click on it selects or attacks it, so each new try looks a little farther ahead.
order_all_to_crosshair() {
    local i
    for i in 1 2 3 4 5; do
        [ "$i" = 1 ] || xdotool mousemove_relative -- 0 -40
        xdotool key --window "$window" ctrl+a
        sleep 0.3
        xdotool click --window "$window" 1
        sleep 1
        grep -q "^Go to (" "$work/stdout" && break
    done
    grep -q "^Go to (" "$work/stdout" || fail "the click gave no order"
}

# screenshot FILE: the game window's content as a PNG.
screenshot() {
    xwd -silent -id "$window" | /usr/bin/convert xwd:- "$1"
}

# window_size: prints "W H" of the game window.
window_size() {
    xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p'
}

# count_color FILE W H X Y R G B TOLERANCE: number of pixels in the box (X, Y, W, H) whose
# channels are all within TOLERANCE of (R, G, B).
count_color() {
    local file=$1 w=$2 h=$3 x=$4 y=$5 r=$6 g=$7 b=$8 tol=$9
    /usr/bin/convert "$file" -crop "${w}x${h}+${x}+${y}" +repage -depth 8 txt:- |
        sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' |
        awk -v r="$r" -v g="$g" -v b="$b" -v t="$tol" '
            function near(v, want) { return v - want <= t && want - v <= t }
            near($1, r) && near($2, g) && near($3, b) { n++ }
            END { print n + 0 }'
}

# pixel FILE X Y: prints "R G B".
pixel() {
    /usr/bin/convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# check_menu FILE W H: the main menu is drawn centred in a W x H window: the white caption
# 120 pixels above the centre, the selected "Play" button bright and "Quit" dimmed below it.
check_menu() {
    local file=$1 w=$2 h=$3
    local cx=$((w / 2)) cy=$((h / 2))
    # Caption: 8 characters 30 pixels wide, 48 high, centred on (cx, cy - 120) from the top.
    local white
    white=$(count_color "$file" 240 48 $((cx - 120)) $((cy - 120 - 24)) 255 255 255 8)
    [ "$white" -gt 1500 ] || fail "caption not drawn at the centre ($white white pixels)"
    # Nothing white just outside the caption's box, on either side.
    [ "$(count_color "$file" 60 48 $((cx - 190)) $((cy - 144)) 255 255 255 8)" -eq 0 ] ||
        fail "white pixels left of the caption: the menu is not centred"
    [ "$(count_color "$file" 60 48 $((cx + 130)) $((cy - 144)) 255 255 255 8)" -eq 0 ] ||
        fail "white pixels right of the caption: the menu is not centred"
    # Buttons: Play centred 40 above the centre, Quit at the centre; 192 x 24 pixels. Their
    # plates are blue, brighter on the selected one.
    local play quit
    read -r _ _ play < <(pixel "$file" $((cx - 80)) $((cy - 40 - 6)))
    read -r _ _ quit < <(pixel "$file" $((cx - 80)) $((cy - 6)))
    [ "${play:-0}" -gt 90 ] || fail "the selected Play button is not drawn (blue $play)"
    [ "${quit:-0}" -gt 15 ] && [ "$quit" -lt 70 ] || fail "the Quit button is not drawn dimmed (blue $quit)"
    # Button text: white letters inside each plate.
    [ "$(count_color "$file" 60 16 $((cx - 30)) $((cy - 48)) 255 255 255 8)" -gt 40 ] ||
        fail "no text on the Play button"
    [ "$(count_color "$file" 60 16 $((cx - 30)) $((cy - 8)) 255 255 255 8)" -gt 40 ] ||
        fail "no text on the Quit button"
}

# check_pointer FILE X Y: the game's own pointer is drawn with its tip at (X, Y): a black
# outline at the tip, the white arrow body below it and nothing white beside it.
check_pointer() {
    local file=$1 x=$2 y=$3 r g b
    read -r r g b < <(pixel "$file" "$x" "$y")
    [ "$r $g $b" = "0 0 0" ] || fail "no pointer outline at the pointer tip ($r $g $b)"
    [ "$(count_color "$file" 8 10 $((x + 1)) $((y + 2)) 255 255 255 8)" -gt 15 ] ||
        fail "no white pointer body below the tip"
    [ "$(count_color "$file" 16 16 $((x + 20)) $((y + 20)) 255 255 255 8)" -eq 0 ] ||
        fail "white pixels beside the pointer"
}

# install_game DESTDIR: installs the build the game binary comes from under DESTDIR, with the
# prefix /opt/quorvale, as a package or a staged install would; the tree is not where the
# build was configured to install, so the game has to find its data from its own location.
install_game() {
    DESTDIR=$1 cmake --install "$(dirname "$game")" --prefix /opt/quorvale >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; fail "cmake --install failed"; }
}
