# The page folder over HTTP: its files with their types, nothing outside it, and a WebSocket
# only at /play.
source "$(dirname "$0")/common.bash"
mkdir -p "$work/page/sub"
echo '<p>page</p>' >"$work/page/index.html"
printf '\0asm\1\0\0\0' >"$work/page/game.wasm"
echo secret >"$work/secret.txt"
ln -s "$work/secret.txt" "$work/page/sub/link.txt"
start_server --page "$work/page"

r=$(http_get /)
grep -q "^HTTP/1.1 200" <<<"$r" || fail "/ not served: $r"
grep -qi "^Content-Type: text/html" <<<"$r" || fail "index.html without its type"
grep -q "<p>page</p>" <<<"$r" || fail "index.html not sent"
r=$(http_get "/game.wasm?v=1")
grep -qi "^Content-Type: application/wasm" <<<"$r" || fail "wasm without its type: $r"
for path in /../secret.txt /sub/../../secret.txt /%2e%2e/secret.txt /sub/link.txt \
            '/..\secret.txt' /missing.js //etc/passwd; do
    r=$(http_get "$path")
    grep -q "^HTTP/1.1 404" <<<"$r" || fail "$path answered: $(head -1 <<<"$r")"
    ! grep -q secret <<<"$r" || fail "$path leaked the file outside the page"
done
kill -0 "$server_pid" || fail "the server died"
