# The arena on a handful of worlds: every game ends (a win or a draw by the game's own rules)
# before the ten-minute cap, nothing crashes, the lines and the summary have their form, the
# opponent wins more than it loses against the idle party, and bad arguments are refused.
#   bash arena_check.sh <quorvale-arena binary>
# QUORVALE_ARENA_WORLDS sets how many worlds (5 when unset; each is played twice).
set -euo pipefail
arena=$1
worlds=${QUORVALE_ARENA_WORLDS:-5}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
fail() {
    echo "FAIL: $*" >&2
    cat "$out" >&2
    exit 1
}

"$arena" opponent idle --worlds 1765000000 "$worlds" >"$out" || fail "the arena failed (status $?)"
cat "$out"
games=$((2 * worlds))
[ "$(grep -c '^world ' "$out")" = "$games" ] || fail "not one line per game"
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

for args in "" "opponent" "opponent idle" "robot idle 1" "opponent idle x" \
    "opponent idle --worlds 1" "opponent idle --worlds 1 0"; do
    # shellcheck disable=SC2086
    if "$arena" $args >/dev/null 2>"$out"; then
        fail "arguments '$args' were accepted"
    fi
    grep -q '^usage: quorvale-arena' "$out" || fail "arguments '$args' gave no usage"
done
echo "arena: $games games ended before the cap; bad arguments are refused with the usage"
