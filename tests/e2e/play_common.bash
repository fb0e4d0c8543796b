# Shared by the end-to-end scripts of play: a game started with the calendar clock frozen
# (the map and both armies come from the clock, so every run sees the same world), the
# walk from the main menu into play, and colour measurements of screenshots.
source "$(dirname "$0")/common.bash"

faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1 || true)

# The sprite colours of the parties as drawn: full orange and its green counterpart under
# the 0.784 sprite tint; the carage roof's grey likewise.
party0_rgb="200 100 0"
party1_rgb="100 200 0"
roof_rgb="103 106 109"

# start_frozen_game [LIB...]: start_game with time() fixed, and LIBs preloaded besides; the
# tick counter keeps running.
start_frozen_game() {
    [ -n "$faketime_lib" ] || fail "libfaketime.so.1 not found (package faketime)"
    FAKETIME="2024-03-01 12:00:00" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        LD_PRELOAD="$(game_preload "$faketime_lib" "$@")" start_game
}

# click_play: a click on "Play" in the main menu (40 pixels above the centre); the same spot
# holds "Continue" in the pause menu.
click_play() {
    xdotool mousemove --window "$window" 450 262
    sleep 0.3
    xdotool click --window "$window" 1
}

# enter_play: "Play" from the main menu, then "Continue" from the pause menu; the pointer
# ends up held at the window centre.
enter_play() {
    click_play
    sleep 2
    click_play
    sleep 1.5
}

# pixels FILE: one "x y r g b" line per pixel, converted once and kept beside FILE.
pixels() {
    if [ ! -f "$1.txt" ]; then
        local w
        w=$(/usr/bin/identify -format %w "$1")
        /usr/bin/convert "$1" -depth 8 rgb:- | od -An -v -tu1 -w3 |
            awk -v w="$w" '{ print n % w, int(n / w), $1, $2, $3; n++ }' >"$1.txt"
    fi
    cat "$1.txt"
}

# centroid FILE R G B TOLERANCE: prints "count x y", the number and mean position of the
# pixels within TOLERANCE of (R, G, B) on every channel.
centroid() {
    pixels "$1" | awk -v r="$2" -v g="$3" -v b="$4" -v t="$5" '
        function near(v, want) { return v - want <= t && want - v <= t }
        near($3, r) && near($4, g) && near($5, b) { n++; sx += $1; sy += $2 }
        END { if (n) printf "%d %.1f %.1f\n", n, sx / n, sy / n; else print "0 0 0" }'
}

# terrain_counts FILE: prints "grass water tree": pixels that look like each terrain.
terrain_counts() {
    pixels "$1" | awk '
        $4 > $3 + 30 && $3 > $5 { grass++ }
        $5 > $4 + 40 && $5 > 100 { water++ }
        $5 >= $3 + 3 && $4 > $5 + 30 && $4 > 50 { tree++ }
        END { print grass + 0, water + 0, tree + 0 }'
}

# distance X1 Y1 X2 Y2
distance() {
    awk -v a="$1" -v b="$2" -v c="$3" -v d="$4" 'BEGIN { printf "%.1f\n", sqrt((a - c) ^ 2 + (b - d) ^ 2) }'
}

# click_pause_quit: a click on "Quit" of the pause menu, at the window centre. (The pointer
# is warped onto the buttons when play lets it go, so the keyboard selection is unreliable.)
click_pause_quit() {
    xdotool mousemove --window "$window" 450 305
    sleep 0.3
    xdotool click --window "$window" 1
    sleep 1
}

# quit_to_menu: from play, Escape to the pause menu and its "Quit".
quit_to_menu() {
    xdotool key --window "$window" Escape
    sleep 1
    click_pause_quit
}
