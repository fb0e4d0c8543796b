# The main menu is drawn: caption, both buttons, the game's own pointer where the pointer
# is, and the system pointer hidden over the window. Escape then ends the game with 0.
source "$(dirname "$0")/common.bash"

g++ -O1 -o "$work/cursor_image" "$(dirname "$0")/cursor_image.cpp" -lX11 -lXfixes ||
    fail "cannot build the pointer probe"

start_game
find_window 100 100
read -r w h < <(window_size)
[ "$w" = 800 ] && [ "$h" = 600 ] || fail "window is ${w}x${h}, not 800x600"
screenshot "$work/menu.png"
check_menu "$work/menu.png" "$w" "$h"

check_pointer "$work/menu.png" 100 100

visible=$("$work/cursor_image") || fail "pointer probe failed"
[ "$visible" -eq 0 ] || fail "the system pointer is visible over the window ($visible pixels)"

xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "Escape in the main menu gave exit status $status"
echo "main menu drawn, pointer drawn, system pointer hidden"
