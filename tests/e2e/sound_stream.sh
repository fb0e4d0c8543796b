# The game's sound reaches the audio device: with SDL's "disk" driver the device stream goes
# to a file. All thirty sounds load, the stream runs without gaps from start to quit, and
# Ctrl+A in the pause menu of a new game (the world stands still, so nothing else sounds)
# is answered by one of the "ok" sounds, sample for sample.
source "$(dirname "$0")/common.bash"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/stream.raw"

started=$(date +%s.%N)
start_game
find_window 30 30
xdotool key --window "$window" Return  # "Play": the pause menu over a new world
sleep 1.5
xdotool key --window "$window" ctrl+a
sleep 2
xdotool mousemove --window "$window" 450 305
sleep 0.3
xdotool click --window "$window" 1     # "Quit" to the main menu
sleep 1
xdotool key --window "$window" Escape
wait_exit 30
ended=$(date +%s.%N)
[ "$status" = 0 ] || fail "the game ended with status $status"
grep -q "sound_load" "$work/stderr" && fail "a game sound did not load"
[ -s "$work/stream.raw" ] || fail "nothing was written to the audio device"

# 16-bit stereo at 44100 Hz is 176400 bytes a second; allow for start-up before the device
# opened its file and for a slow machine, but not for a stream that stalls.
bytes=$(stat -c %s "$work/stream.raw")
expected=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%d", (b - a - 3) * 176400 * 0.5 }')
[ "$bytes" -ge "$expected" ] || fail "the stream has gaps: $bytes bytes, at least $expected expected"

# samples FILE [SKIP COUNT]: the 16-bit samples of FILE (COUNT of them after SKIP bytes), one
# per line.
samples() {
    if [ $# -eq 1 ]; then od -An -v -td2 -w2 "$1"; else od -An -v -td2 -w2 -j "$2" -N $(($3 * 2)) "$1"; fi
}

# A mono sound at volume 1 appears as frames of two equal samples: look for 200 frames from
# the middle of each spoken answer.
samples "$work/stream.raw" | tr -s ' \n' '  ' > "$work/stream.txt"
heard=""
for name in roger0 okay0 okay1; do
    wav="$source_root/resources/sounds/$name.wav"
    n=$(( ($(stat -c %s "$wav") - 44) / 2 ))
    samples "$wav" $((44 + n)) 200 |
        awk '{ printf " %d %d", $1, $1 } END { printf " " }' > "$work/$name.txt"
    awk -v pat="$(cat "$work/$name.txt")" '{ exit index(" " $0 " ", pat) ? 0 : 1 }' "$work/stream.txt" &&
        heard="$heard $name"
done
[ -n "$heard" ] || fail "the answer to Ctrl+A is not in the stream"
echo "the sound stream ran for $bytes bytes and carried$heard"
