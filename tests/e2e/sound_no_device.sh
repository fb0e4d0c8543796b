# Without a usable sound device the start-up fails in its first step, names the failing
# audio call, and ends through the error exit with status 255 before any window opens.
source "$(dirname "$0")/common.bash"
export SDL_AUDIODRIVER=no_such_audio_driver

start_game
wait_exit 30
[ "$status" = 255 ] || fail "exit status $status, 255 expected"
grep -q "^SDL_.* error: " "$work/stderr" || fail "the failing audio call is not named"
tail -n 2 "$work/stderr" | tr '\n' '|' | grep -qx "Failed to initialize sound|Error occurred.|" ||
    fail "the start-up failure is not reported as such"
echo "a missing sound device stops the start-up with 255"
