# The desktop game's first view of a new game made in a given second: the world under the
# pause menu right after "Play", the pointer resting on "Continue". The browser tests compare
# the page's first view of the same second with it.
# Called under an X server as: bash native_first_view.sh <quorvale binary> <source root> <second> <out.png>
source "$2/tests/e2e/common.bash"
second=$3
out=$4
export LIBGL_ALWAYS_SOFTWARE=1

faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1 || true)
[ -n "$faketime_lib" ] || fail "libfaketime.so.1 not found (package faketime)"
# A frozen clock given in seconds since 1970 (libfaketime's "@" would start a running one).
FAKETIME_FMT=%s FAKETIME="$second" FAKETIME_DONT_FAKE_MONOTONIC=1 LD_PRELOAD="$(game_preload "$faketime_lib")" start_game
find_window 450 262
xdotool click --window "$window" 1  # "Play", 40 pixels above the centre
for i in $(seq 1 40); do
    grep -q '^creating mesh vbo$' "$work/stdout" && break
    sleep 0.25
done
grep -q '^Generating map\.\.\.$' "$work/stdout" || fail "Play built no world"
sleep 1
screenshot "$out"
xdotool mousemove --window "$window" 450 305
sleep 0.3
xdotool click --window "$window" 1  # "Quit" of the pause menu
sleep 1
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
