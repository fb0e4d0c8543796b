# F11 and Alt+Return switch play between the window and fullscreen at the display's size
# (the test's X screen is 1280 x 1024) and back to the window's size. The world stays drawn
# (textures and buffers survive the new video mode), the crosshair stays at the centre and
# points at the same thing, since the camera has not moved.
source "$(dirname "$0")/play_common.bash"

# check_world FILE W H: terrain, both parties and the crosshair at the centre of a W x H view.
check_world() {
    local file=$1 w=$2 h=$3 grass n0 n1
    read -r grass _ _ < <(terrain_counts "$file")
    [ "$grass" -gt 20000 ] || fail "$file: the terrain is not drawn ($grass grass pixels)"
    read -r n0 _ < <(centroid "$file" $party0_rgb 3)
    read -r n1 _ < <(centroid "$file" $party1_rgb 3)
    [ "$n0" -gt 100 ] && [ "$n1" -gt 100 ] || fail "$file: the units are not drawn ($n0, $n1 pixels)"
    # A line on a pixel boundary may land on either neighbouring row.
    [ "$(count_color "$file" 21 3 $((w / 2 - 10)) $((h - 2 - h / 2)) 255 255 255 40)" -ge 15 ] ||
        fail "$file: no crosshair at the centre of ${w}x${h}"
}

# expect_size W H WHAT
expect_size() {
    local w h
    read -r w h < <(window_size)
    [ "$w" = "$1" ] && [ "$h" = "$2" ] || fail "$3: the window is ${w}x${h}, not $1x$2"
}

# pointed: what "I" prints about the crosshair now.
pointed() {
    local lines
    lines=$(wc -l <"$work/stdout")
    xdotool key --window "$window" i
    sleep 0.5
    tail -n +"$((lines + 1))" "$work/stdout" | grep -m1 '^Pointing ' || fail "I printed nothing"
}

start_frozen_game
find_window 400 300
enter_play
expect_size 800 600 "in play"
# With units selected (Ctrl+A) the ground can be pointed at; look down onto it (the pitch
# turns 0.0025 rad a pixel).
xdotool key --window "$window" ctrl+a
xdotool mousemove_relative -- 0 40
sleep 0.3
xdotool mousemove_relative -- 0 40
sleep 0.5
screenshot "$work/window.png"
check_world "$work/window.png" 800 600
before=$(pointed)
[ "$before" != "Pointing nothing" ] || fail "the crosshair points at nothing in the window"

xdotool key --window "$window" F11
sleep 2
expect_size 1280 1024 "after F11"
screenshot "$work/fullscreen.png"
check_world "$work/fullscreen.png" 1280 1024
after=$(pointed)
[ "$after" = "$before" ] || fail "fullscreen points elsewhere: \"$before\", then \"$after\""

xdotool key --window "$window" F11
sleep 2
expect_size 800 600 "after F11 again"
screenshot "$work/back.png"
check_world "$work/back.png" 800 600

xdotool key --window "$window" alt+Return
sleep 2
expect_size 1280 1024 "after Alt+Return"
xdotool key --window "$window" alt+Return
sleep 2
expect_size 800 600 "after Alt+Return again"
[ "$(pointed)" = "$before" ] || fail "the crosshair points elsewhere after the round trips"

quit_to_menu
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
echo "fullscreen and back with F11 and Alt+Return; the world stays drawn: $before"
