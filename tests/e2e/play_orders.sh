# Ctrl+A selects party 0's units, a left click on the ground under the crosshair prints
# "Go to (x,y,z)" and sends them there: their colour moves across the screen. Holding F1
# runs the world ten times as fast, so they cover far more ground in the same time.
# "I" prints what the crosshair points at.
source "$(dirname "$0")/play_common.bash"

start_frozen_game
find_window 400 300
enter_play
screenshot "$work/start.png"
read -r n _ < <(centroid "$work/start.png" $party0_rgb 3)
[ "$n" -gt 100 ] || fail "party 0 is not in view ($n pixels)"
read -r white_before _ < <(centroid "$work/start.png" 255 255 255 0)

xdotool key --window "$window" ctrl+a
sleep 0.5
screenshot "$work/selected.png"
read -r white_after _ < <(centroid "$work/selected.png" 255 255 255 0)
[ "$white_after" -gt $((white_before + 100)) ] ||
    fail "no selection markers after Ctrl+A ($white_before -> $white_after white pixels)"

# Look farther ahead (the pitch turns 0.0025 rad a pixel), so that the destination lies
# well beyond the armies and nobody arrives before F1 is pressed.
for i in 1 2 3; do
    xdotool mousemove_relative -- 0 -40
    sleep 0.2
done
sleep 0.5
xdotool key --window "$window" i
xdotool click --window "$window" 1
sleep 0.5
grep -Eq '^Pointing (voxel \([0-9]+,[0-9]+,[0-9]+\)|entity uid=[0-9]+ .*)$' "$work/stdout" ||
    fail "I printed nothing about the pointed voxel"
grep -Eq '^Go to \([0-9]+,[0-9]+,[0-9]+\)$' "$work/stdout" || fail "no \"Go to\" line after the click"
grep '^Go to' "$work/stdout"

# Raw captures back to back, so that the intervals are the sleeps; converted afterwards.
capture() { xwd -silent -id "$window" >"$work/$1.xwd"; }
capture ordered
sleep 1
capture walked
xdotool keydown --window "$window" F1
sleep 1
capture hurried
xdotool keyup --window "$window" F1
for shot in ordered walked hurried; do
    /usr/bin/convert "xwd:$work/$shot.xwd" "$work/$shot.png"
done
read -r _ x0 y0 < <(centroid "$work/ordered.png" $party0_rgb 3)
read -r _ x1 y1 < <(centroid "$work/walked.png" $party0_rgb 3)
read -r _ x2 y2 < <(centroid "$work/hurried.png" $party0_rgb 3)
walked=$(distance "$x0" "$y0" "$x1" "$y1")
hurried=$(distance "$x1" "$y1" "$x2" "$y2")
echo "party 0 moved $walked pixels in a second, then $hurried pixels in a second with F1"
awk -v a="$walked" 'BEGIN { exit !(a > 5) }' || fail "the selected units did not move ($walked pixels)"
awk -v a="$walked" -v b="$hurried" 'BEGIN { exit !(b > 3 * a) }' ||
    fail "F1 did not speed the world up ($walked then $hurried pixels)"

quit_to_menu
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
