# A player killed mid-game: the other plays on to the end. The server killed mid-game: both
# players are told the connection is lost.
source "$(dirname "$0")/common.bash"
start_server
host_and_join 8
wait_for "$work/server.out" "started" 10
sleep 2
kill -9 "$guest_pid"
wait "$host_pid" || fail "the host did not play on alone"
grep -q "^frame 480 hash" "$work/host.out" || fail "the host did not reach its last frame"
grep -q "client [0-9]* dropped" "$work/server.out" || fail "the drop was not logged"

host_and_join 30
for _ in $(seq 1 100); do
    [ "$(grep -c "started" "$work/server.out")" -ge 2 ] && break
    sleep 0.1
done
[ "$(grep -c "started" "$work/server.out")" -ge 2 ] || fail "the second game did not start"
sleep 2
kill -9 "$server_pid"
wait "$host_pid" && fail "the host did not notice"
wait "$guest_pid" && fail "the guest did not notice"
grep -q "^Connection to the server lost$" "$work/host.err" || fail "the host was not told"
grep -q "^Connection to the server lost$" "$work/guest.err" || fail "the guest was not told"
