# Resizing the window re-creates it: the menu is centred in the new size, and its textures
# (font, buttons, pointer) survive.
source "$(dirname "$0")/common.bash"

start_game
find_window 100 100
xdotool windowsize "$window" 1000 700
sleep 2
read -r w h < <(window_size)
[ "$w" = 1000 ] && [ "$h" = 700 ] || fail "window is ${w}x${h} after resizing"
xdotool mousemove --window "$window" 100 100
sleep 1
screenshot "$work/resized.png"
check_menu "$work/resized.png" "$w" "$h"
check_pointer "$work/resized.png" 100 100

xdotool windowsize "$window" 640 480
sleep 2
xdotool mousemove --window "$window" 60 60
sleep 1
screenshot "$work/small.png"
check_menu "$work/small.png" 640 480

xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status after resizing"
echo "menu centred after resizing, textures intact"
