# A hosted game that nobody joins expires after the server's --join-wait: the host is told and
# dropped, the server logs it in one line, and the code no longer finds a game.
source "$(dirname "$0")/common.bash"
start_server --join-wait 1
start_bot host --play 5
host_pid=$bot_pid
wait_for "$work/host.out" "^Game code: [A-Z]\{5\}$" 10
code=$(sed -n 's/^Game code: //p' "$work/host.out")
status=0
wait "$host_pid" || status=$?
[ "$status" = 1 ] || fail "the host's player ended with $status, not 1"
grep -qx "Nobody joined the game in time" "$work/host.err" || fail "the host was not told why"
[ "$(grep -c "$code" "$work/server.out")" = 2 ] ||
    fail "expected the game's creation and one line for its expiry: $(grep "$code" "$work/server.out")"
grep -q "^game $code expired: nobody joined within 1 s; client [0-9]* dropped$" "$work/server.out" ||
    fail "no expiry line"
start_bot late --play 5 --join "$code"
status=0
wait "$bot_pid" || status=$?
[ "$status" = 1 ] && grep -qx "No game with that code" "$work/late.err" || fail "the expired code still found a game"
echo "expired: $(grep expired "$work/server.out")"
