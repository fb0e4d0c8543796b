# Against the computer (--opponent): the computer's green units set out without a click while
# the player gives none (that a click on them selects nothing is the selection suite's), and
# holding F1 runs the world to the end, which prints one line ("Defeat after M:SS" or "Draw
# after M:SS" for a player who gives no order) and shows the result in big white letters over
# the world; Return goes back to the main menu and Escape there quits.
source "$(dirname "$0")/play_common.bash"

[ -n "$faketime_lib" ] || fail "libfaketime.so.1 not found (package faketime)"
game_args=(--opponent)
# A world where the computer's army stands apart from the player's and walks to it.
FAKETIME="2025-12-06 05:46:43" FAKETIME_DONT_FAKE_MONOTONIC=1 \
    LD_PRELOAD="$(game_preload "$faketime_lib")" start_game
find_window 400 300
read -r w h < <(window_size)
enter_play

capture() { xwd -silent -id "$window" >"$work/$1.xwd"; }
capture start
/usr/bin/convert "xwd:$work/start.xwd" "$work/start.png"
read -r n0 x0 y0 < <(centroid "$work/start.png" $party1_rgb 3)
[ "$n0" -gt 50 ] || fail "the computer's party is not in view ($n0 pixels)"
# F1 runs the world ten times as fast, so the walk shows on a slow software renderer too; a
# busy machine may take a few seconds to draw enough frames.
xdotool keydown --window "$window" F1
moved=0
for i in $(seq 1 10); do
    sleep 1
    capture later
    /usr/bin/convert "xwd:$work/later.xwd" "$work/later.png"
    rm -f "$work/later.png.txt"
    read -r n1 x1 y1 < <(centroid "$work/later.png" $party1_rgb 3)
    moved=$(distance "$x0" "$y0" "$x1" "$y1")
    awk -v a="$moved" 'BEGIN { exit !(a > 3) }' && break
done
xdotool keyup --window "$window" F1
echo "the computer's units moved $moved pixels in $i seconds of fast play"
awk -v a="$moved" 'BEGIN { exit !(a > 3) }' || fail "the computer's units did not move ($moved pixels)"
grep -q '^Go to' "$work/stdout" && fail "a travel order was printed, but the player gave none"

fast_forward_until '^(Victory|Defeat|Draw) after [0-9]+:[0-5][0-9]$' 240
grep -E '^(Victory|Defeat|Draw) after' "$work/stdout" || fail "no end line within two minutes"
grep -Eq '^Victory after' "$work/stdout" && fail "a player who gives no order won"
sleep 0.5
screenshot "$work/end.png"
# The word at 48 pixels a letter, centred 40 to 88 pixels above the middle of the window.
white=$(count_color "$work/end.png" 240 48 $((w / 2 - 120)) $((h / 2 - 88)) 255 255 255 8)
[ "$white" -gt 800 ] || fail "no result drawn over the world ($white white pixels)"
# The world stands still under it.
sleep 1
screenshot "$work/end2.png"
read -r e1 ex1 ey1 < <(centroid "$work/end.png" $party1_rgb 3)
read -r e2 ex2 ey2 < <(centroid "$work/end2.png" $party1_rgb 3)
[ "$e1 $ex1 $ey1" = "$e2 $ex2 $ey2" ] || fail "the world still moves after the end"

xdotool key --window "$window" Return
sleep 1
screenshot "$work/menu.png"
# The main menu's caption, 120 pixels above the centre (the pointer, freed at the centre,
# may hover over either button, so which one is lit is not checked).
caption=$(count_color "$work/menu.png" 240 48 $((w / 2 - 120)) $((h / 2 - 144)) 255 255 255 8)
[ "$caption" -gt 1500 ] || fail "Return did not go back to the main menu ($caption caption pixels)"
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
echo "the end line, the result over the world and the way back to the main menu"
