# A player whose world hash goes wrong: the server ends the game on both with the frame.
source "$(dirname "$0")/common.bash"
start_server
host_and_join 30 --wrong-hash-at 200
wait "$host_pid" && fail "the host played on"
wait "$guest_pid" && fail "the guest played on"
grep -q "^Out of sync at frame 200$" "$work/host.err" || fail "the host was not told"
grep -q "^Out of sync at frame 200$" "$work/guest.err" || fail "the guest was not told"
grep -q "out of sync at frame 200" "$work/server.out" || fail "the server logged no difference"
