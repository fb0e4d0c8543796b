# Shared by run.sh and firefox.sh: installs node and the tests' modules, runs the page's test
# files and counts what they report.

# Node comes from PATH when there is one, else from Debian; the pinned modules are installed
# with npm ci once per change of the lock file (it empties node_modules first).
install_test_modules() {
    command -v node >/dev/null && command -v npm >/dev/null || install_packages nodejs npm
    local dir=$quorvale_root/tests/browser
    if ! cmp -s "$dir/package-lock.json" "$dir/node_modules/.installed-lock"; then
        (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
        cp "$dir/package-lock.json" "$dir/node_modules/.installed-lock"
    fi
}
#
#   run_test_files OUT [WRAPPER...] -- FILE...
#
# Each file (a name before .test.mjs) runs in a node of its own, one after another: the
# machine's two cores render the page in software, and timings and frame rates would suffer
# from a neighbour. Only what node 18's test runner has (Debian bookworm's node): no
# --test-concurrency, no --test-timeout; the tests set their own time limits, and a file that
# hangs all the same is stopped after 15 minutes. WRAPPER (xvfb-run and its options, say)
# goes before node. Sets passed, failed, skipped and status (the first non-zero exit status);
# the TAP output goes to the terminal and to OUT/run.log.
run_test_files() {
    local out=$1 wrapper=() file log n f s rc
    shift
    while [ "$1" != "--" ]; do wrapper+=("$1"); shift; done
    shift
    echo "browser tests under node $(node --version)"
    status=0 passed=0 failed=0 skipped=0
    : >"$out/run.log"
    for file in "$@"; do
        log=$out/run-$file.log rc=0
        (cd "$quorvale_root/tests/browser" &&
            timeout -k 10 900 "${wrapper[@]}" node --test --test-reporter=tap "$file.test.mjs") 2>&1 |
            tee "$log" || rc=$?
        [ "$status" -ne 0 ] || status=$rc
        cat "$log" >>"$out/run.log"
        n=$(tap_count pass "$log") f=$(tap_count fail "$log") s=$(tap_count skipped "$log")
        # A file that never got to its summary (stopped, crashed) counts as one failure.
        [ -n "$n" ] || { echo "$file.test.mjs: no summary from node"; f=${f:-1}; [ "$status" -ne 0 ] || status=1; }
        passed=$((passed + ${n:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
    done
    return 0
}

# tap_count WORD LOG: the number of node's closing "# WORD N" line in LOG.
tap_count() { sed -n "s/^# $1 \([0-9]*\)$/\1/p" "$2" | tail -n 1; }

# report_test_files LABEL OUT: the closing lines; fails unless everything passed.
report_test_files() {
    [ "$skipped" -gt 0 ] && echo "(${skipped} steps skipped after a failed step before them)"
    echo "pictures, console logs and figures: $2"
    echo "$1: $passed passed, $failed failed"
    [ "$status" -eq 0 ] && [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
