# The arena on a handful of worlds: every game ends (a win or a draw by the game's own rules)
# before the ten-minute cap, nothing crashes, the lines and the summary have their form, the
# opponent wins more than it loses against the idle party, --detail tells what each side
# started with and had left (nothing, for the side that lost; never more of a kind than it
# had), a game saved with --record plays again as the same game in the game's replay check,
# and bad arguments are refused.
#   bash arena_check.sh <quorvale-arena binary> <quorvale binary>
# QUORVALE_ARENA_WORLDS sets how many worlds (5 when unset; each is played twice).
set -euo pipefail
arena=$1
game=$2
worlds=${QUORVALE_ARENA_WORLDS:-5}
out=$(mktemp)
replays=$(mktemp -d)
trap 'rm -rf "$out" "$replays"' EXIT
fail() {
    echo "FAIL: $*" >&2
    cat "$out" >&2
    exit 1
}

"$arena" opponent idle --worlds 1765000000 "$worlds" --detail >"$out" || fail "the arena failed (status $?)"
cat "$out"
games=$((2 * worlds))
[ "$(grep -c '^world ' "$out")" = "$games" ] || fail "not one line per game"
kinds='[0-9]+ missile units?, [0-9]+ turret units?, [0-9]+ turret towers?, [0-9]+ carages?'
nothing='0 missile units, 0 turret units, 0 turret towers, 0 carages'
awk -v kinds="$kinds" -v nothing="$nothing" '
    /^world / { result = $8; next }
    /^  started: / {
        if ($0 !~ "^  started: opponent " kinds "; idle " kinds "$") bad = bad "form: " $0 "\n"
        split($0, started_count, /[^0-9]+/)
        next
    }
    /^  left: / {
        if ($0 !~ "^  left: opponent " kinds "; idle " kinds "; opened (in range|apart)$") bad = bad "form: " $0 "\n"
        split(substr($0, 9), side, "; ")
        if (result == "win" && side[2] != "idle " nothing) bad = bad "a win left the idle side something\n"
        if (result == "loss" && side[1] != "opponent " nothing) bad = bad "a loss left the opponent something\n"
        split($0, left_count, /[^0-9]+/)
        for (k = 2; k <= 9; k++)
            if (left_count[k] + 0 > started_count[k] + 0) bad = bad "more left than started: " $0 "\n"
        details++
    }
    END { if (bad != "" || details != games) { printf "%s%d detail lines for %d games\n", bad, details, games; exit 1 } }
' games="$games" "$out" >"$out.detail" || { cat "$out.detail" >&2; fail "--detail is wrong"; }
rm -f "$out.detail"
grep -q 'time cap' "$out" && fail "a game ran into the time cap"
summary=$(tail -n 1 "$out")
[[ $summary =~ ^opponent\ vs\ idle:\ ([0-9]+)\ wins,\ ([0-9]+)\ draws,\ ([0-9]+)\ losses\ \(([0-9]+)\ games,\ mean\ [0-9]+:[0-5][0-9]\)$ ]] ||
    fail "the summary line is not of its form: $summary"
wins=${BASH_REMATCH[1]} draws=${BASH_REMATCH[2]} losses=${BASH_REMATCH[3]} n=${BASH_REMATCH[4]}
[ "$n" = "$games" ] && [ $((wins + draws + losses)) = "$games" ] || fail "the summary does not add up"
[ "$wins" -gt "$losses" ] || fail "the opponent did not beat the idle party ($wins wins, $losses losses)"

# The same world twice, given as seconds: the same games, line for line.
"$arena" opponent idle 1765000000 >"$out.a"
"$arena" opponent idle 1765000000 >"$out.b"
cmp -s "$out.a" "$out.b" || { rm -f "$out.a" "$out.b"; fail "one world played twice gave two results"; }
rm -f "$out.a" "$out.b"

# Both games of a world saved as replays, which the game checks step by step against the
# hashes they carry: the computer's orders are all a replay needs.
"$arena" opponent charge 1765000003 --record "$replays" >"$out" || fail "the arena failed to record"
saved=("$replays"/*.qrep)
[ ${#saved[@]} = 2 ] && [ -s "${saved[0]}" ] && [ -s "${saved[1]}" ] || fail "not two replays saved"
for replay in "${saved[@]}"; do
    SDL_AUDIODRIVER=dummy "$game" --check-replay "$replay" >"$out.check" 2>&1 ||
        { cat "$out.check" >&2; fail "$(basename "$replay") did not play again as the same game"; }
done
rm -f "$out.check"

for args in "" "opponent" "opponent idle" "robot idle 1" "opponent idle x" \
    "opponent idle --worlds 1" "opponent idle --worlds 1 0" "opponent idle 1 --record /nonexistent"; do
    # shellcheck disable=SC2086
    if "$arena" $args >/dev/null 2>"$out"; then
        fail "arguments '$args' were accepted"
    fi
    grep -q '^usage: quorvale-arena' "$out" || fail "arguments '$args' gave no usage"
done
echo "arena: $games games ended before the cap; bad arguments are refused with the usage"
