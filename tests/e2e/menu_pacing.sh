# The menus, where the world stands still, run at about the display's rate rather than
# as fast as the machine allows: the frame-rate lines (which count frames, however busy the
# machine is) stay at or under about 60 in the main menu and the pause menu. The window is
# made after asking for buffer swaps paced by the display. The processor time the game took
# is printed for the record.
source "$(dirname "$0")/common.bash"

# fps_lines_after N: the frame-rate values printed after the first N lines of output.
fps_lines_after() {
    tail -n +"$(($1 + 1))" "$work/stdout" | sed -n 's/^FPS: //p'
}

# at_most_about_60 VALUES...: fails unless every value is at most 62 (a menu frame lasts at
# least 17 ms; 62 leaves room for the rounding of the report's time sum).
at_most_about_60() {
    local v
    for v in "$@"; do
        awk -v v="$v" 'BEGIN { exit !(v <= 62) }' || fail "a menu frame rate of $v"
    done
}

# cpu_seconds: the processor time the game has taken so far, user and system.
cpu_seconds() {
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f\n", ($14 + $15) / hz }' "/proc/$game_pid/stat"
}

build_sdl_calls
QUORVALE_SDL_CALLS=$work/sdl_calls.log LD_PRELOAD="$(game_preload "$work/sdl_calls.so")" start_game
find_window
# find_window waited 1.5 s of frames; two reports are due after 10 s.
cpu_before=$(cpu_seconds)
sleep 10
cpu_after=$(cpu_seconds)
menu_rates=$(fps_lines_after 0)
[ "$(echo "$menu_rates" | grep -c .)" -ge 2 ] || fail "fewer than two frame-rate lines in 11.5 s"
at_most_about_60 $menu_rates

# The pause menu over a new world: two more reports after the world is made.
lines=$(wc -l <"$work/stdout")
xdotool key --window "$window" Return
sleep 11
pause_rates=$(fps_lines_after "$lines")
[ "$(echo "$pause_rates" | grep -c .)" -ge 2 ] || fail "fewer than two frame-rate lines in the pause menu"
at_most_about_60 $pause_rates
echo "main menu rates: $(echo $menu_rates); pause menu rates: $(echo $pause_rates)"
awk -v a="$cpu_before" -v b="$cpu_after" \
    'BEGIN { printf "processor time at the main menu over 10 s: %.2f s, %.0f %% of a core\n", b - a, (b - a) * 10 }'

xdotool key --window "$window" Escape
sleep 0.5
xdotool key --window "$window" Escape
sleep 0.5
xdotool mousemove --window "$window" 450 305
xdotool click --window "$window" 1
sleep 1
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"

# Swaps are asked to follow the display before the first window is made.
log=$work/sdl_calls.log
[ -f "$log" ] || fail "the game made no SDL call the log library saw"
swap=$(grep -n '^SDL_GL_SetAttribute SWAP_CONTROL 1$' "$log" | head -n 1 | cut -d: -f1)
mode=$(grep -n '^SDL_SetVideoMode ' "$log" | head -n 1 | cut -d: -f1)
[ -n "$swap" ] || fail "no swap interval of 1 requested: $(cat "$log")"
[ -n "$mode" ] && [ "$swap" -lt "$mode" ] || fail "the swap interval was requested after the window was made"
echo "menus paced, swap interval requested before the window"
