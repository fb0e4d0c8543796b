# The desktop game's side of a network game with the page (network.test.mjs). Its output and
# errors are copied to standard output as they come, so that the test can follow them; its
# records go into RECORDS.
# Called under an X server as:
#   bash native_net.sh <quorvale> <source root> <ws url> <records dir> host-leave
#       hosts; once the server has started the game, leaves it through the pause menu's Quit
#   bash native_net.sh <quorvale> <source root> <ws url> <records dir> join-play CODE
#       joins CODE, plays, gives an order to all its units and plays on until the server stops
#       (at most QUORVALE_NET_END_SECONDS, 120 by default), then quits from the main menu
source "$2/tests/e2e/common.bash"
url=$3
records=$4
mode=$5
export LIBGL_ALWAYS_SOFTWARE=1

mkdir -p "$records"
case $mode in
host-leave) game_args=(--host "$url" --record "$records") ;;
join-play) game_args=(--join "$url" "$6" --record "$records") ;;
*) fail "unknown mode $mode" ;;
esac
# "Continue" of the pause menu, 40 pixels above the centre; its "Quit" at the centre.
click_play() {
    xdotool mousemove --window "$window" 450 262
    sleep 0.3
    xdotool click --window "$window" 1
}
click_pause_quit() {
    xdotool mousemove --window "$window" 450 305
    sleep 0.3
    xdotool click --window "$window" 1
    sleep 1
}

start_game
# The game's lines as they come; the copy ends with this script.
tail -q -n +1 -F "$work/stdout" "$work/stderr" --pid=$$ 2>/dev/null &
find_window 20 20

wait_line() {  # wait_line REGEX SECONDS
    for _ in $(seq 1 $(($2 * 4))); do
        grep -Eqh "$1" "$work/stdout" "$work/stderr" && return 0
        kill -0 "$game_pid" 2>/dev/null || fail "the game ended while waiting for $1"
        sleep 0.25
    done
    fail "no line matching $1 within $2 s"
}

wait_line '^Generating map\.\.\.$' 120
sleep 2
if [ "$mode" = host-leave ]; then
    sleep 2
    click_pause_quit
else
    click_play  # "Continue"
    sleep 1.5
    order_all_to_crosshair  # all of party 1 walks to the ground at the crosshair
    # The server stops: the game ends and the main menu is back.
    wait_line '^Connection to the server lost$' "${QUORVALE_NET_END_SECONDS:-120}"
    sleep 1
fi
xdotool key --window "$window" Escape  # quits from the main menu
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
sleep 0.5  # the last lines reach the copy
