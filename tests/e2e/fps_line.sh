# After five seconds of frames the game has printed one frame-rate line.
source "$(dirname "$0")/common.bash"

start_game
find_window
# find_window waited for the window and 1.5 s of frames; run on to about 7.5 s.
sleep 5
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
lines=$(grep -c '^FPS: ' "$work/stdout" || true)
[ "$lines" -ge 1 ] || fail "no frame-rate line after more than 5 s"
grep -m1 '^FPS: ' "$work/stdout" | grep -Eq '^FPS: [0-9]+\.[0-9]{2}$' ||
    fail "malformed frame-rate line: $(grep -m1 '^FPS: ' "$work/stdout")"
elapsed_lines_max=2  # window start-up varies; at most 10 s of frames have run
[ "$lines" -le "$elapsed_lines_max" ] || fail "$lines frame-rate lines in under 10 s"
grep '^FPS: ' "$work/stdout"
