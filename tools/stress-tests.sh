#!/bin/sh
# Runs the unit, integration and GUI test programs N times while one busy process per core loads the
# machine, then prints how often each test failed. A test that fails here fails on a loaded machine.
#   tools/stress-tests.sh [N]      (default 20 rounds; BUILD_DIR defaults to build)
# Exits 0 only when every round of every program passed and no test left files behind.
set -u

rounds=${1:-20}
case $rounds in
'' | *[!0-9]*)
    echo "usage: $0 [ROUNDS]" >&2
    exit 2
    ;;
esac
build=${BUILD_DIR:-build}
programs=""
for name in dravik_unit_tests dravik_integration_tests dravik_gui_tests; do
    if [ -x "$build/tests/$name" ]; then
        programs="$programs $build/tests/$name"
    fi
done
if [ -z "$programs" ]; then
    echo "No test programs in $build/tests: build first (make build)." >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dravik-stress-XXXXXX") || exit 2
hogs=""
cleanup() {
    for pid in $hogs; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

cores=$(nproc)
i=0
while [ "$i" -lt "$cores" ]; do
    sh -c 'while :; do :; done' &
    hogs="$hogs $!"
    i=$((i + 1))
done
echo "Load: $cores busy processes beside the tests ($(uptime | sed 's/.*load/load/'))"

# The tests' own temporary files go to a folder of this run, so that leftovers show.
mkdir "$work/tmp" || exit 2
failures="$work/failures"
: >"$failures"
round=1
while [ "$round" -le "$rounds" ]; do
    for program in $programs; do
        name=$(basename "$program")
        log="$work/$name.$round.log"
        TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen timeout 900 "$program" --gtest_brief=1 >"$log" 2>&1
        status=$?
        if [ "$status" -ne 0 ]; then
            # The summary lists each failed test once; a crash or hang has no summary.
            listed=$(sed -n 's/^\[  FAILED  \] \([^ ,]*\.[^ ,]*\).*/\1/p' "$log" | sort -u)
            if [ -n "$listed" ]; then
                echo "$listed" >>"$failures"
            else
                echo "$name (exit status $status, no test summary)" >>"$failures"
            fi
            cp "$log" "${TMPDIR:-/tmp}/dravik-stress-failed-$name.$round.log"
        fi
    done
    echo "Round $round of $rounds: $(sort -u "$failures" | grep -c .) failing test(s) so far"
    round=$((round + 1))
done

status=0
if [ -s "$failures" ]; then
    echo "Failures per test over $rounds rounds:"
    sort "$failures" | uniq -c | sort -rn
    echo "Logs of the failed runs: ${TMPDIR:-/tmp}/dravik-stress-failed-*.log"
    status=1
else
    echo "No failures in $rounds rounds."
fi
left=$(find "$work/tmp" -mindepth 1 -maxdepth 1 | head -20)
if [ -n "$left" ]; then
    echo "Tests left these behind in their temporary folder:"
    echo "$left"
    status=1
fi
exit $status
