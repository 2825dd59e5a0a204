#!/usr/bin/env bash
# Runs the fuzz targets of a sanitizer build folder for the seconds given each, at the lowest priority,
# JOBS of them at a time, each on its own corpus in BUILD_FOLDER/fuzz/<target>:
#   tools/fuzz.sh BUILD_FOLDER SECONDS JOBS [TARGET...]
# A crash leaves its input as BUILD_FOLDER/fuzz/<target>-crash-*; the script then fails.
set -euo pipefail
build=$1
seconds=$2
jobs=$3
shift 3
if [ $# -eq 0 ]; then
    set -- $(cd "$build/tests/fuzz" && ls -1 | grep 'Fuzz$')
fi
failed=0
running=0
for target in "$@"; do
    corpus="$build/fuzz/$target"
    mkdir -p "$corpus"
    (
        if nice -n 19 "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 \
            -artifact_prefix="$corpus-" "$corpus" >"$corpus.log" 2>&1; then
            echo "$target: $(grep -E '^(#[0-9]+|Done)' "$corpus.log" | tail -n 1)"
        else
            echo "$target: FAILED, see $corpus.log"
            tail -n 30 "$corpus.log"
            exit 1
        fi
    ) &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
exit $failed
