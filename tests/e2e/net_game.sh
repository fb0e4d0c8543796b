# A network game between the desktop game (hosting, party 0) and a player without a window
# (joining with the code, party 1): both start the same world, the desktop's order and the
# other player's orders reach both worlds, the hashes never differ, and the desktop keeps a
# record of the game.
source "$(dirname "$0")/play_common.bash"

# wait_for TRIES COMMAND...: runs COMMAND every tenth of a second until it succeeds, at most
# TRIES times; the status is the last run's.
wait_for() {
    local tries=$1
    shift
    for _ in $(seq 2 "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

build=$(dirname "$game")
server=$build/quorvale-server
netbot=$build/netbot
[ -x "$server" ] && [ -x "$netbot" ] || fail "quorvale-server and netbot must be built beside the game"
"$server" --listen 127.0.0.1:0 >"$work/server.out" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true; kill_game; rm -rf "$work"' EXIT
wait_for 100 grep -q "^Listening on" "$work/server.out" || true
port=$(sed -n 's|^Listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/server.out")
[ -n "$port" ] || fail "the server did not start"
url="ws://127.0.0.1:$port"

mkdir "$work/records"
game_args=(--host "$url" --record "$work/records")
start_game
find_window 400 300
wait_for 100 grep -q "^Game code: [A-Z]\{5\}$" "$work/stdout" || true
code=$(sed -n 's/^Game code: //p' "$work/stdout")
[ -n "$code" ] || fail "no game code printed"

"$netbot" --play 25 --join "$code" "$url" >"$work/bot.out" 2>"$work/bot.err" &
bot_pid=$!
wait_for 100 grep -q "^Generating map\.\.\.$" "$work/stdout" || fail "the server did not start the game"
# The pause menu comes up once the mesh is made, which an instrumented build on a loaded
# machine takes seconds for: the second "Done in" line.
mesh_made() { [ "$(grep -c "^Done in " "$work/stdout")" -ge 2 ]; }
wait_for 300 mesh_made || fail "the world was never made"
sleep 1
click_play  # "Continue"
sleep 1.5
order_all_to_crosshair  # party 0's units, all selected, walk to the point at the window centre

bot_status=0
wait "$bot_pid" || bot_status=$?
cat "$work/bot.out"
# Without sound files the other player notes every sound it cannot play; the reason it ended
# follows them.
[ "$bot_status" = 0 ] || fail "the other player ended early: $(grep -v '^sound_play' "$work/bot.err" | tail -n 5)"
grep -q "^orders applied: party 0 [1-9]" "$work/bot.out" || fail "the desktop's order never reached the other player"
! grep -q "out of sync" "$work/server.out" || fail "the server found the two worlds apart"
sleep 1
grep -q "^The other player left$" "$work/stdout" || fail "the desktop was not told the other player left"

# The server goes away: the player is told and is back in the main menu, where Escape quits.
kill -9 "$server_pid"
wait_for 50 grep -q "^Connection to the server lost$" "$work/stderr" || fail "the player was not told the server is gone"
sleep 0.5
xdotool key --window "$window" Escape
wait_exit 30
[ "$status" = 0 ] || fail "exit status $status"
# The record is complete and plays again as the same game.
record=$(ls "$work"/records/*.qrep 2>/dev/null | head -n 1)
[ -n "$record" ] || fail "no record of the network game"
"$game" --check-replay "$record" >"$work/check.out" 2>&1 || fail "the record does not replay: $(cat "$work/check.out")"
