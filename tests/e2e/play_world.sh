# "Play" builds a world and shows it frozen under the pause menu, with both generation
# lines on standard output; "Continue" starts play with the crosshair; the view shows the
# terrain with grass, water and trees, both parties' units and their buildings.
source "$(dirname "$0")/play_common.bash"

start_frozen_game
find_window 400 300
click_play
sleep 2
tr '\n' '|' <"$work/stdout" |
    grep -Eq '^Generating map\.\.\.\|Done in [0-9]+ ms\.\|Generating mesh\.\.\.\|Done in [0-9]+ ms\.\|' ||
    fail "no generation lines"
screenshot "$work/pause.png"
[ "$(count_color "$work/pause.png" 60 16 370 252 255 255 255 8)" -gt 40 ] ||
    fail "no Continue button over the world"
read -r grass water tree < <(terrain_counts "$work/pause.png")
[ "$grass" -gt 20000 ] || fail "the world is not drawn under the pause menu ($grass grass pixels)"

xdotool key --window "$window" Return
sleep 1.5
screenshot "$work/play.png"
[ "$(count_color "$work/play.png" 21 3 390 298 255 255 255 40)" -ge 15 ] || fail "no crosshair in play"
read -r grass water tree < <(terrain_counts "$work/play.png")
echo "terrain pixels: grass $grass, water $water, trees $tree"
[ "$grass" -gt 20000 ] || fail "too little grass ($grass)"
[ "$water" -gt 1000 ] || fail "too little water ($water)"
[ "$tree" -gt 100 ] || fail "no trees ($tree)"
read -r n0 _ < <(centroid "$work/play.png" $party0_rgb 3)
read -r n1 _ < <(centroid "$work/play.png" $party1_rgb 3)
read -r roofs _ < <(centroid "$work/play.png" $roof_rgb 2)
echo "party colour pixels: $n0 and $n1; carage roof pixels: $roofs"
[ "$n0" -gt 100 ] || fail "party 0 is not to be seen ($n0 pixels)"
[ "$n1" -gt 100 ] || fail "party 1 is not to be seen ($n1 pixels)"
[ "$roofs" -gt 100 ] || fail "no carage building to be seen ($roofs pixels)"

quit_to_menu
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
echo "play shows the world, both parties and their buildings"
