# The install puts every file where a Linux desktop looks for it: the executable in bin/,
# the images and sounds in the game's data folder, and a desktop menu entry whose command
# and icon are installed too, with the entry and its software-centre description valid.
source "$(dirname "$0")/common.bash"

for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/test installs it)"
done

install_game "$work/stage"
prefix=$work/stage/opt/quorvale
[ -x "$prefix/bin/quorvale" ] || fail "no executable in bin/"
data=$prefix/share/quorvale/resources
for image in voxel entity misc; do
    cmp -s "$data/images/$image.png" "$source_root/resources/images/$image.png" ||
        fail "$image.png is not installed"
done
sounds=$(find "$data/sounds" -name '*.wav' | wc -l)
[ "$sounds" = 30 ] || fail "$sounds sound files installed, not 30"

entries=("$prefix"/share/applications/*.desktop)
[ ${#entries[@]} = 1 ] && [ -f "${entries[0]}" ] || fail "not exactly one desktop entry"
entry=${entries[0]}
id=$(basename "$entry" .desktop)
# Hints count too: one without a main category, say, lands in a catch-all corner of the menu.
report=$(desktop-file-validate "$entry" 2>&1) && [ -z "$report" ] ||
    fail "the desktop entry is not clean: $report"
# The entry's own command (its actions have theirs, in groups of their own below it).
exec_line=$(sed -n '/^\[Desktop Entry\]/,/^\[/ s/^Exec=//p' "$entry")
[ -x "$prefix/bin/${exec_line%% *}" ] || fail "the entry starts '$exec_line', which is not installed"
# A right click on the launcher offers the game against the computer.
grep -qx 'Actions=opponent;' "$entry" || fail "the entry lists no opponent action"
action=$(sed -n '/^\[Desktop Action opponent\]/,/^\[/p' "$entry")
grep -qx 'Name=Play against the computer' <<<"$action" || fail "the opponent action is not named"
grep -qx 'Exec=quorvale --opponent' <<<"$action" || fail "the opponent action does not start --opponent"
icon_name=$(sed -n 's/^Icon=//p' "$entry")
icons=("$prefix"/share/icons/hicolor/*/apps/"$icon_name".png)
[ -f "${icons[0]}" ] || fail "no icon '$icon_name' in the hicolor theme"
# The theme folder tells the size; the picture must have it, and be transparent around it.
size=$(basename "$(dirname "$(dirname "${icons[0]}")")")
[ "$(/usr/bin/convert "${icons[0]}" -format '%wx%h' info:)" = "$size" ] ||
    fail "the icon is not $size"
[ "$(/usr/bin/convert "${icons[0]}" -format '%[fx:p{0,0}.a]' info:)" = 0 ] ||
    fail "the icon's corner is not transparent"

metainfo=$prefix/share/metainfo/$id.metainfo.xml
[ -f "$metainfo" ] || fail "no metainfo named after the entry $id"
appstreamcli validate --no-net --strict "$metainfo" || fail "the metainfo is not valid"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch the desktop entry"
echo "installed: executable, data, desktop entry, icon and metainfo"
