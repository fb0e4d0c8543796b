# Escape in the main menu ends the game with status 0. Before that, a walk through the
# program states: "Play" opens the pause menu, Escape starts play (crosshair, pointer held),
# Escape pauses again, and a click on "Quit" there returns to the main menu.
source "$(dirname "$0")/common.bash"

# crosshair FILE W H: white pixels on the horizontal stroke of the crosshair.
crosshair() {
    # A line on a pixel boundary may land on either neighbouring row.
    count_color "$1" 21 3 $(($2 / 2 - 10)) $(($3 - 2 - $3 / 2)) 255 255 255 40
}

start_game
find_window 30 30
xdotool key --window "$window" Return
sleep 1.5
screenshot "$work/pause.png"
[ "$(count_color "$work/pause.png" 240 48 280 156 255 255 255 8)" -eq 0 ] ||
    fail "the caption is still shown in the pause menu"
[ "$(count_color "$work/pause.png" 60 16 370 252 255 255 255 8)" -gt 40 ] ||
    fail "no Continue button in the pause menu"

xdotool key --window "$window" Escape
sleep 1.5
screenshot "$work/play.png"
[ "$(crosshair "$work/play.png" 800 600)" -ge 15 ] || fail "no crosshair in play"

xdotool key --window "$window" Escape
sleep 1
# Click "Quit" of the pause menu, in the middle of the window.
xdotool mousemove --window "$window" 450 305
sleep 0.3
xdotool click --window "$window" 1
sleep 1.5
screenshot "$work/menu.png"
check_menu "$work/menu.png" 800 600

xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "Escape gave exit status $status"
echo "Escape in the main menu ends the game with 0"
