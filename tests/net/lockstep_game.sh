# Two players on the server with the game's own world and lockstep: a minute of game time
# (QUORVALE_NET_SECONDS) with random orders from both ends on the same frame with the same
# world, and the server never saw a hash differ.
source "$(dirname "$0")/common.bash"
seconds=${QUORVALE_NET_SECONDS:-60}
start_server
host_and_join "$seconds"
wait "$host_pid" || fail "the host ended early"
wait "$guest_pid" || fail "the guest ended early"
grep -q "^frame $((seconds * 60)) hash " "$work/host.out" || fail "the host did not reach its last frame"
grep -q "^orders applied: party 0 [1-9][0-9]*, party 1 [1-9]" "$work/host.out" ||
    fail "orders of both players should have reached the host: $(grep ^orders "$work/host.out")"
cmp <(grep "^frame" "$work/host.out") <(grep "^frame" "$work/guest.out") ||
    fail "the two worlds differ: $(grep ^frame "$work"/host.out "$work"/guest.out)"
cmp "$work/host.qrep" "$work/guest.qrep" || fail "the two players' records differ"
grep -q "started" "$work/server.out" || fail "no start logged"
! grep -q "out of sync" "$work/server.out" || fail "the server saw the game out of sync"
echo "same world at the end: $(grep ^frame "$work/host.out")"
