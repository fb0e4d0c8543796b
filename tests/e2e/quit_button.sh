# Down and Return in the main menu choose "Quit": the game ends with status 0.
source "$(dirname "$0")/common.bash"

start_game
find_window
xdotool key --window "$window" Down
sleep 0.3
xdotool key --window "$window" Return
wait_exit 30
[ "$status" = 0 ] || fail "Quit gave exit status $status"
grep -q "Error occurred" "$work/stderr" && fail "an error was reported"
echo "Quit ends the game with 0"
