# The arena on a handful of worlds: every game ends (a win or a draw by the game's own rules)
# before the ten-minute cap, nothing crashes, the lines and the summary have their form, the
# opponent wins more than it loses against the idle party, --detail tells what each side
# started with and had left (nothing, for the side that lost; never more of a kind than it
# had) and what its units could reach of the other's at the start and at the end, a game
# saved with --record plays again as the same game in the game's replay check, and bad
# arguments are refused.
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
    # What one side can reach of the other, per kind of unit: "r of n missile units reach k of
    # e enemies", n being what it started with and e everything the other side started with.
    function reach_kind(side, kind, units, enemies,    n) {
        if (units == 0) {
            if (index(side, "no " kind " units") == 0) bad = bad "reach without " kind " units: " side "\n"
            return
        }
        if (!match(side, "[0-9]+ of [0-9]+ " kind " units reach [0-9]+ of [0-9]+ enemies")) {
            bad = bad "reach form: " side "\n"
            return
        }
        split(substr(side, RSTART, RLENGTH), n, /[^0-9]+/)
        if (n[2] != units || n[4] != enemies || n[1] > n[2] || n[3] > n[4]) bad = bad "reach: " side "\n"
    }
    # "r of n units reach k of e enemies" at the end, of what each side had left.
    function reach_end(side, units, enemies,    n) {
        if (!match(side, "^[a-z]+ [0-9]+ of [0-9]+ units reach [0-9]+ of [0-9]+ enemies$")) {
            bad = bad "reach form: " side "\n"
            return
        }
        split(substr(side, index(side, " ") + 1), n, /[^0-9]+/)
        if (n[2] != units || n[4] != enemies || n[1] > n[2] || n[3] > n[4]) bad = bad "reach at the end: " side "\n"
    }
    /^world / { result = $8; next }
    /^  started: / {
        if ($0 !~ "^  started: opponent " kinds "; idle " kinds "$") bad = bad "form: " $0 "\n"
        split($0, started_count, /[^0-9]+/)
        next
    }
    /^  reach at the start: / {
        line = $0
        sub(/^  reach at the start: /, "", line)
        split(line, side, "; ")
        if (side[1] !~ /^opponent / || side[2] !~ /^idle /) bad = bad "form: " $0 "\n"
        idle_all = started_count[6] + started_count[7] + started_count[8] + started_count[9]
        opponent_all = started_count[2] + started_count[3] + started_count[4] + started_count[5]
        reach_kind(side[1], "missile", started_count[2], idle_all)
        reach_kind(side[1], "turret", started_count[3], idle_all)
        reach_kind(side[2], "missile", started_count[6], opponent_all)
        reach_kind(side[2], "turret", started_count[7], opponent_all)
        reaches++
        next
    }
    /^  reach at the end: / {
        line = $0
        sub(/^  reach at the end: /, "", line)
        split(line, side, "; ")
        opponent_left = left_count[2] + left_count[3] + left_count[4] + left_count[5]
        idle_left = left_count[6] + left_count[7] + left_count[8] + left_count[9]
        reach_end(side[1], left_count[2] + left_count[3], idle_left)
        reach_end(side[2], left_count[6] + left_count[7], opponent_left)
        reaches++
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
    END {
        if (bad != "" || details != games || reaches != 2 * games) {
            printf "%s%d detail and %d reach lines for %d games\n", bad, details, reaches, games
            exit 1
        }
    }
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
