# Escape in play pauses: the world stands still under the pause menu. "Quit" there returns
# to the main menu, and a second "Play" (a second later on the clock) builds a new world.
source "$(dirname "$0")/play_common.bash"

start_game  # the real clock: the second game's map comes from a later second
find_window 400 300
enter_play
xdotool key --window "$window" ctrl+a
xdotool click --window "$window" 1  # set party 0 walking, so a frozen world shows
sleep 0.5
xdotool key --window "$window" Escape
sleep 1
screenshot "$work/paused1.png"
sleep 1.5
screenshot "$work/paused2.png"
[ "$(count_color "$work/paused1.png" 60 16 370 252 255 255 255 8)" -gt 40 ] ||
    fail "no pause menu after Escape"
changed=$(/usr/bin/compare -metric AE "$work/paused1.png" "$work/paused2.png" null: 2>&1 || true)
echo "pixels changed while paused: $changed"
[ "${changed%% *}" = 0 ] || fail "the world moved under the pause menu ($changed pixels)"

click_pause_quit
sleep 0.5
screenshot "$work/menu.png"
check_menu "$work/menu.png" 800 600

click_play
sleep 2
screenshot "$work/second.png"
[ "$(grep -c '^Generating map\.\.\.$' "$work/stdout")" = 2 ] || fail "the second Play built no world"
changed=$(/usr/bin/compare -metric AE -fuzz 5% "$work/paused1.png" "$work/second.png" null: 2>&1 || true)
echo "pixels that differ between the two worlds: $changed"
[ "${changed%% *}" -gt 100000 ] || fail "the second world looks like the first ($changed pixels differ)"

xdotool key --window "$window" Escape  # into play
sleep 1
quit_to_menu
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
