# Shared by the network scripts: a server on a free loopback port and protocol-level players.
# Each script is called as: bash script.sh <quorvale-server> <netbot> <source root>
set -euo pipefail

server=$(realpath "$1")
netbot=$(realpath "$2")
source_root=$3
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in "$work"/*.out "$work"/*.err; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 15 "$f" >&2; }
    done
    exit 1
}

# wait_for FILE PATTERN SECONDS: until a line of FILE matches, or fail.
wait_for() {
    for _ in $(seq 1 $(($3 * 10))); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "no '$2' in $1 after $3 s"
}

# start_server [args]: the server on a port of its choosing; sets server_pid, port and url.
start_server() {
    "$server" --listen 127.0.0.1:0 "$@" >"$work/server.out" 2>"$work/server.err" &
    server_pid=$!
    pids+=("$server_pid")
    wait_for "$work/server.out" "^Listening on http://127.0.0.1:[0-9]*/$" 10
    port=$(sed -n 's|^Listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/server.out")
    url="ws://127.0.0.1:$port"
}

# start_bot NAME [args]: a player whose output goes to NAME.out and NAME.err; sets bot_pid.
start_bot() {
    local name=$1
    shift
    "$netbot" "$@" "$url" >"$work/$name.out" 2>"$work/$name.err" &
    bot_pid=$!
    pids+=("$bot_pid")
}

# host_and_join SECONDS [guest args]: a hosted game and its guest, each recording it into
# NAME.qrep; sets host_pid, guest_pid.
host_and_join() {
    local seconds=$1
    shift
    start_bot host --play "$seconds" --record "$work/host.qrep"
    host_pid=$bot_pid
    wait_for "$work/host.out" "^Game code: [A-Z]\{5\}$" 10
    local code
    code=$(sed -n 's/^Game code: //p' "$work/host.out")
    start_bot guest --play "$seconds" --join "$code" --record "$work/guest.qrep" "$@"
    guest_pid=$bot_pid
}

# http_get PATH: the raw response of the server to a GET of PATH, without any client program.
http_get() {
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$1" >&3
    timeout 5 cat <&3 || true
    exec 3<&-
}

# ws_open: a WebSocket connection to /play made by hand on file descriptor 5, handshake done.
ws_open() {
    exec 5<>"/dev/tcp/127.0.0.1/$port"
    printf 'GET /play HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n' >&5
    local line
    IFS= read -r -t 5 line <&5 || fail "no answer to the WebSocket handshake"
    [[ $line == "HTTP/1.1 101"* ]] || fail "handshake refused: $line"
    while IFS= read -r -t 5 line <&5 && [ "$line" != $'\r' ]; do :; done
}

# ws_send_hex HEX: one binary message with these bytes (masked with a zero key, which leaves
# them as they are), then `ws_send_zeros N`: one of N zero bytes.
ws_send_hex() {
    local n=$((${#1} / 2))
    [ "$n" -lt 126 ] || fail "ws_send_hex is for short messages"
    printf "\\x82\\x$(printf %02x $((n | 128)))\\x00\\x00\\x00\\x00$(sed 's/../\\x&/g' <<<"$1")" >&5
}
ws_send_zeros() {
    { printf "\\x82\\xfe\\x$(printf %02x $(($1 >> 8)))\\x$(printf %02x $(($1 & 255)))\\x00\\x00\\x00\\x00"
      head -c "$1" /dev/zero; } >&5
}
ws_close() { exec 5<&- 5>&-; }
