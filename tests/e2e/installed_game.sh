# An installed game finds its data beside its own bin/ folder: started from / it shows the
# main menu and Escape ends it with 0. The executable alone, with no data beside it, fails
# from / as a game without resources/ always has: the loader's message and status 255.
source "$(dirname "$0")/common.bash"

install_game "$work/stage"
installed=$work/stage/opt/quorvale/bin/quorvale
[ -x "$installed" ] || fail "no installed executable"
# The tree is moved after installing, as a package unpacked elsewhere would be.
mv "$work/stage" "$work/moved"
game=$work/moved/opt/quorvale/bin/quorvale

start_game /
find_window 100 100
screenshot "$work/menu.png"
check_menu "$work/menu.png" 800 600
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "Escape gave exit status $status"
# Every sound file was found: a missing one would be reported, not fatal.
grep -q "sound_load" "$work/stderr" && fail "the installed game missed sound files"

mkdir -p "$work/bare/bin"
cp "$game" "$work/bare/bin/quorvale"
game=$work/bare/bin/quorvale
start_game /
wait_exit 60
[ "$status" = 255 ] || fail "the executable without data gave exit status $status, not 255"
grep -qx "Could not load resources/images/voxel.png" "$work/stderr" ||
    fail "the loader did not name the missing file"
tail -n 2 "$work/stderr" | tr '\n' '|' | grep -qx "Could not load main voxel texture|Error occurred.|" ||
    fail "standard error does not end with the start-up failure"
echo "installed game starts from /; without its data it fails with 255"
