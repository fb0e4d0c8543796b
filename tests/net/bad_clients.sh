# Clients that break the protocol are dropped, each with one log line why, while a game on the
# same server plays on undisturbed: an oversized message, another version, an unknown kind,
# a hash before saying who it is, a connection that never says anything.
source "$(dirname "$0")/common.bash"
start_server
host_and_join 12
wait_for "$work/server.out" "started" 10

ws_open
ws_send_zeros 1500
wait_for "$work/server.out" "dropped: message over the size limit" 5
ws_close

ws_open
ws_send_hex 0203
wait_for "$work/server.out" "dropped: bad message: wrong protocol version" 5
ws_close

ws_open
ws_send_hex 01ee
wait_for "$work/server.out" "dropped: bad message: unknown message kind" 5
ws_close

ws_open
ws_send_hex 0103000000000000000000000000
wait_for "$work/server.out" "dropped: message before the hello" 5
ws_close

ws_open
wait_for "$work/server.out" "dropped: said nothing in time" 8
ws_close

wait "$host_pid" || fail "the host's game was disturbed"
wait "$guest_pid" || fail "the guest's game was disturbed"
cmp "$work/host.qrep" "$work/guest.qrep" || fail "the two players' records differ"
[ "$(grep -c dropped "$work/server.out")" -ge 5 ] || fail "fewer drops logged than bad clients"
