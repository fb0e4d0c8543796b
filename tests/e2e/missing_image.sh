# Without entity.png the start-up fails: the texture message, then the error line, and
# exit status 255.
source "$(dirname "$0")/common.bash"

mkdir -p "$work/game/resources"
cp -r "$source_root/resources/images" "$work/game/resources/"
[ -d "$source_root/resources/sounds" ] && cp -r "$source_root/resources/sounds" "$work/game/resources/"
rm "$work/game/resources/images/entity.png"

start_game "$work/game"
wait_exit 60
[ "$status" = 255 ] || fail "exit status $status, not 255"
tail -n 2 "$work/stderr" >"$work/last"
printf 'Could not load main entity texture\nError occurred.\n' >"$work/expected"
cmp -s "$work/last" "$work/expected" || fail "standard error does not end with the two messages"
grep -qx "Could not load resources/images/entity.png" "$work/stderr" ||
    fail "the loader did not name the missing file"
echo "missing entity.png: messages and status 255"
