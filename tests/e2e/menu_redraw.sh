# A menu is drawn only when its picture changes: at an idle main menu the frame loop goes on at
# the menus' pace (and reports that rate) while hardly a buffer is swapped; a moving pointer
# gets a new frame every frame; a window uncovered after another window lay over it, or
# resized, gets the menu drawn again; the pause menu rests as the main menu does, and play
# draws every frame.
source "$(dirname "$0")/common.bash"

# The call-log library counts the frames the loop ran and the buffers it swapped.
build_sdl_calls
frames_log=$work/frames.log
QUORVALE_SDL_FRAMES=$frames_log LD_PRELOAD="$(game_preload "$work/sdl_calls.so")" start_game
find_window 20 20
[ -f "$frames_log" ] || fail "the call-log library wrote no frame log"

# counted COMMAND...: runs COMMAND and prints the frames and the swaps the game made meanwhile.
counted() {
    local f0 s0 f1 s1
    f0=$(grep -c '^frame$' "$frames_log" || true)
    s0=$(grep -c '^swap$' "$frames_log" || true)
    "$@"
    f1=$(grep -c '^frame$' "$frames_log" || true)
    s1=$(grep -c '^swap$' "$frames_log" || true)
    echo "$((f1 - f0)) $((s1 - s0))"
}

# idle WHERE: two seconds with nothing happening; the loop runs, at most a handful of swaps.
idle() {
    local frames swaps
    read -r frames swaps < <(counted sleep 2)
    echo "idle $1: $frames frames, $swaps swaps in 2 s"
    [ "$frames" -ge 30 ] || fail "the frame loop ran only $frames frames in 2 s at an idle $1"
    [ "$swaps" -le 5 ] || fail "$swaps buffer swaps in 2 s at an idle $1"
}

idle "main menu"

# Expose: a window laid over the menu's caption and buttons (not under the pointer, so that no
# entering or leaving the game's window draws a frame) and taken away again.
read -r gx gy < <(xdotool getwindowgeometry "$window" |
    sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
cover() {
    xlogo -geometry "500x400+$((gx + 150))+$((gy + 100))" 2>/dev/null &
    local logo=$!
    sleep 1
    kill "$logo"
    wait "$logo" 2>/dev/null || true
    sleep 1
}
read -r frames swaps < <(counted cover)
echo "covered and uncovered: $frames frames, $swaps swaps"
[ "$swaps" -ge 1 ] || fail "no frame drawn after the window was uncovered"
screenshot "$work/exposed.png"
check_menu "$work/exposed.png" 800 600
check_pointer "$work/exposed.png" 20 20
idle "main menu after it was uncovered"

# Resize, without moving the pointer: the menu drawn anew, centred in the new size.
resize() {
    xdotool windowsize "$window" 640 480
    sleep 2
}
read -r frames swaps < <(counted resize)
echo "resized: $frames frames, $swaps swaps"
[ "$swaps" -ge 1 ] || fail "no frame drawn after the window was resized"
read -r w h < <(window_size)
[ "$w" = 640 ] && [ "$h" = 480 ] || fail "window is ${w}x${h} after resizing"
screenshot "$work/resized.png"
check_menu "$work/resized.png" 640 480
idle "main menu after the resize"

# The pointer moves 3 pixels every 10 ms for 2 s, faster than the menus' frames: each frame
# has moved the pointer and is drawn. (It hovers over the buttons and leaves none selected,
# so this comes after the pictures above.)
moves=()
for i in $(seq 0 199); do
    moves+=(mousemove --window "$window" $((100 + i * 3 % 450)) $((300 + i % 2 * 5)) sleep 0.01)
done
read -r frames swaps < <(counted xdotool "${moves[@]}")
echo "pointer moving: $frames frames, $swaps swaps"
[ "$frames" -ge 20 ] || fail "the frame loop ran only $frames frames while the pointer moved"
[ $((swaps * 10)) -ge $((frames * 8)) ] || fail "only $swaps of $frames frames drawn while the pointer moved"
xdotool mousemove --window "$window" 20 20
sleep 0.5
idle "main menu after the pointer stopped"

# The frame-rate line reports the loop, not the frames drawn: about the menus' 60 while only
# a few frames were drawn.
rate=$(sed -n 's/^FPS: //p' "$work/stdout" | head -n 1)
[ -n "$rate" ] || fail "no frame-rate line after more than 5 s at the main menu"
awk -v v="$rate" 'BEGIN { exit !(v >= 15) }' || fail "a main menu frame rate of $rate"

# A click on "Play" (40 pixels above the centre) makes a world and shows it under the pause
# menu, which rests as the main menu does.
xdotool mousemove --window "$window" 320 200 click 1
for i in $(seq 1 120); do
    [ "$(grep -c '^Done in' "$work/stdout")" -ge 2 ] && break
    sleep 0.25
done
[ "$(grep -c '^Done in' "$work/stdout")" -ge 2 ] || fail "the click on Play built no world"
sleep 1
idle "pause menu"

# In play the world moves and every frame is drawn.
xdotool key --window "$window" Escape
sleep 0.5
read -r frames swaps < <(counted sleep 2)
echo "play: $frames frames, $swaps swaps"
[ "$frames" -ge 5 ] || fail "only $frames frames in 2 s of play"
[ "$swaps" -ge $((frames - 2)) ] || fail "only $swaps of $frames frames drawn in play"

# Back to the pause menu, its "Quit" (at the centre) to the main menu, Escape ends the game.
xdotool key --window "$window" Escape
sleep 0.5
idle "pause menu after play"
xdotool mousemove --window "$window" 320 240 click 1
sleep 0.5
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
echo "menus drawn only when they change"
