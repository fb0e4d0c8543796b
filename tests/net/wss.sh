# A desktop player reaches the server at a wss:// address, through a TLS proxy in front of it
# as the README advises for the internet: the game is played as over ws://. The proxy's
# certificate, made here for the address 127.0.0.1 (so that nothing hangs on how this machine
# resolves names), is trusted through SSL_CERT_FILE; untrusted, or made for another name than
# the one asked for (a second proxy), the connection is refused with the reason.
source "$(dirname "$0")/common.bash"
command -v socat >/dev/null && command -v openssl >/dev/null || fail "socat and openssl are needed"
start_server
plain_url=$url
# tls_proxy NAME SUBJECT_ALT_NAME: a certificate NAME.pem for it and a proxy in front of the
# server, whose port is left in proxy_port.
tls_proxy() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$1" -addext "subjectAltName=$2" \
        -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null || fail "could not make a certificate"
    proxy_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    socat "OPENSSL-LISTEN:$proxy_port,bind=127.0.0.1,reuseaddr,fork,cert=$work/$1.pem,key=$work/$1.key,verify=0" \
        "TCP:127.0.0.1:$port" 2>"$work/socat-$1.err" &
    pids+=($!)
    for _ in $(seq 1 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$proxy_port") 2>/dev/null && break
        sleep 0.1
    done
}
tls_proxy address IP:127.0.0.1
tls_port=$proxy_port
tls_proxy named DNS:quorvale.test
other_port=$proxy_port

# The host over TLS, the guest in the clear: one game.
url="wss://127.0.0.1:$tls_port"
SSL_CERT_FILE=$work/address.pem start_bot host --play 5 --record "$work/host.qrep"
host_pid=$bot_pid
wait_for "$work/host.out" "^Game code: [A-Z]\{5\}$" 10
code=$(sed -n 's/^Game code: //p' "$work/host.out")
url=$plain_url
start_bot guest --play 5 --join "$code" --record "$work/guest.qrep"
wait "$host_pid" || fail "the host over wss:// ended early"
wait "$bot_pid" || fail "the guest ended early"
cmp <(grep "^frame" "$work/host.out") <(grep "^frame" "$work/guest.out") || fail "the two worlds differ"
cmp "$work/host.qrep" "$work/guest.qrep" || fail "the two records differ"

# Without trusting the certificate, and with a name it does not carry.
url="wss://127.0.0.1:$tls_port"
SSL_CERT_FILE=/nonexistent start_bot untrusted --play 5
! wait "$bot_pid" || fail "a certificate nobody vouches for was accepted"
grep -q "^TLS with 127.0.0.1:$tls_port failed: certificate verify failed" "$work/untrusted.err" ||
    fail "no reason given: $(cat "$work/untrusted.err")"
url="wss://127.0.0.1:$other_port"
SSL_CERT_FILE=$work/named.pem start_bot wrong_name --play 5
! wait "$bot_pid" || fail "a certificate for another name was accepted"
grep -q "^TLS with 127.0.0.1:$other_port failed: certificate verify failed" "$work/wrong_name.err" ||
    fail "no reason given: $(cat "$work/wrong_name.err")"
echo "over wss://: $(grep ^frame "$work/host.out")"
