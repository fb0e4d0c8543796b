# A game played with real clicks under --record, then checked with --check-replay and
# watched with --replay: the file is written as the game goes and complete after Quit; the
# check finds every hash matching; the replay shows the recorded world (the armies in view),
# ends with "Replay ended", and a file changed by one bit diverges with its frame named.
# An unwritable folder is refused before any window opens.
source "$(dirname "$0")/play_common.bash"

# A folder that cannot be written stops the game at start-up.
: >"$work/not-a-folder"
status=0
"$game" --record "$work/not-a-folder" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "--record into a file: exit status $status, expected 2"
grep -q "Cannot record into $work/not-a-folder: not a folder" "$work/err" || fail "no message: $(cat "$work/err")"
status=0
"$game" --record "$work/missing/folder" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "--record into a missing folder: exit status $status"
grep -q "Cannot record into $work/missing/folder: No such file" "$work/err" || fail "no message: $(cat "$work/err")"

mkdir -p "$work/replays"
game_args=(--record "$work/replays")
start_frozen_game
find_window 400 300
enter_play
grep -q "^Recording to $work/replays/quorvale-20240301-120000.qrep$" "$work/stdout" ||
    fail "no \"Recording to\" line naming the game's second"
replay="$work/replays/quorvale-20240301-120000.qrep"

xdotool key --window "$window" ctrl+a
sleep 0.5
for i in 1 2 3; do
    xdotool mousemove_relative -- 0 -40
    sleep 0.2
done
sleep 0.5
xdotool click --window "$window" 1
sleep 0.5
grep -Eq '^Go to \([0-9]+,[0-9]+,[0-9]+\)$' "$work/stdout" || fail "no \"Go to\" line after the click"
xdotool keydown --window "$window" F1
sleep 1
xdotool keyup --window "$window" F1
sleep 1.5
# Written as the game goes: the file is already there and grows while the game runs.
size1=$(stat -c %s "$replay")
sleep 1.5
size2=$(stat -c %s "$replay")
[ "$size2" -gt "$size1" ] || fail "the recording did not grow during play ($size1 -> $size2 bytes)"
quit_to_menu
grep -q "^Replay saved: $replay$" "$work/stdout" || fail "no \"Replay saved\" line after Quit"
xdotool key --window "$window" Escape
wait_exit 20
[ "$status" -eq 0 ] || fail "exit status $status"
echo "recorded $(stat -c %s "$replay") bytes"

# Checked without a window or a sound device.
status=0
env -u DISPLAY SDL_AUDIODRIVER=none "$game" --check-replay "$replay" >"$work/check" 2>&1 || status=$?
cat "$work/check"
[ "$status" -eq 0 ] || fail "--check-replay: exit status $status"
grep -Eq "^$replay: [1-9][0-9]* frames, [0-9.]+ s of game time, [1-9][0-9]* hashes matched, final world hash [0-9a-f]{16}$" \
    "$work/check" || fail "--check-replay printed no summary"

# Watched: the recorded world in view, and at the end "Replay ended" (F1 hurries it).
game_args=(--replay "$replay")
start_game
find_window 400 300
sleep 1
screenshot "$work/watch.png"
read -r n _ < <(centroid "$work/watch.png" $party0_rgb 3)
[ "$n" -gt 100 ] || fail "party 0 is not in view in the replay ($n pixels)"
# A click on the ground gives no order in a replay.
xdotool click --window "$window" 1
fast_forward_until '^Replay ended$' 60
grep -q "^Replay ended$" "$work/stdout" || fail "no \"Replay ended\" line"
grep -q "^Go to" "$work/stdout" && fail "a click in the replay gave an order"
sleep 0.5
screenshot "$work/ended.png"
cp "$work/ended.png" "${QUORVALE_E2E_KEEP:-$work}/replay_ended.png" 2>/dev/null || true
# The banner's white text at the top of the view.
read -r white _ < <(count_color "$work/ended.png" 800 40 0 0 255 255 255 0 | awk '{ print $1 }')
[ "$white" -gt 20 ] || fail "no banner at the top of the ended replay ($white white pixels)"
quit_to_menu
xdotool key --window "$window" Escape
wait_exit 20

# One bit of one time step changed: the replay stops at the first hash after it.
python3 - "$replay" "$work/changed.qrep" <<'PY'
import sys, zlib
data = open(sys.argv[1], 'rb').read()
head, body = data[:48], zlib.decompress(data[48:])
sizes = {ord('S'): 5, ord('G'): 5, ord('R'): 3, ord('H'): 13, ord('E'): 13}
i = 0
while body[i] != ord('S'):  # walk the records to the first step
    i += 25 + 4 * int.from_bytes(body[i + 3:i + 5], 'little') if body[i] == ord('O') else sizes[body[i]]
# Its exponent's lowest bit: the step twice or half as long.
body = body[:i + 3] + bytes([body[i + 3] ^ 0x80]) + body[i + 4:]
open(sys.argv[2], 'wb').write(head + zlib.compress(body))
PY
status=0
"$game" --check-replay "$work/changed.qrep" >"$work/check" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "a changed replay: exit status $status, expected 1"
grep -Eq "^Replay diverged at frame [1-9][0-9]*$" "$work/check" || fail "no divergence line: $(cat "$work/check")"

# A game ended by an interrupt is a complete file too.
mkdir -p "$work/interrupted"
game_args=(--record "$work/interrupted")
start_frozen_game
find_window 400 300
enter_play
sleep 2
kill -INT "$game_pid"
wait_exit 20
interrupted=$(ls "$work/interrupted"/*.qrep)
grep -q "^Replay saved: $interrupted$" "$work/stdout" || fail "no \"Replay saved\" line after the interrupt"
status=0
"$game" --check-replay "$interrupted" >"$work/check" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the interrupted game's replay: exit status $status: $(cat "$work/check")"
grep -q "cut off" "$work/check" && fail "the interrupted game's replay has no end: $(cat "$work/check")"
echo "interrupted game: $(cat "$work/check")"
