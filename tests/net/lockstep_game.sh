# Two players on the server with the game's own world and lockstep: a minute of game time
# with random orders from both ends on the same frame with the same world, and the server
# never saw a hash differ.
source "$(dirname "$0")/common.bash"
start_server
host_and_join 60
wait "$host_pid" || fail "the host ended early"
wait "$guest_pid" || fail "the guest ended early"
grep -q "^frame 3600 hash " "$work/host.out" || fail "the host did not reach frame 3600"
cmp <(grep "^frame" "$work/host.out") <(grep "^frame" "$work/guest.out") ||
    fail "the two worlds differ: $(grep ^frame "$work"/host.out "$work"/guest.out)"
grep -q "started" "$work/server.out" || fail "no start logged"
! grep -q "out of sync" "$work/server.out" || fail "the server saw the game out of sync"
echo "same world at the end: $(grep ^frame "$work/host.out")"
