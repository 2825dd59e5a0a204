#!/usr/bin/env bash
# Runs every benchmark of a Release build folder and prints their rows as one table: our figure, the
# peer's, their ratio, the goal, and the load average (one minute) when the row was taken. Ratios against
# peers measured in the same run hold up under load better than the absolute rows.
set -uo pipefail
dir=${1:-build-release}/bench
echo "Load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo
echo "| workload | ours | peer | ratio | goal | | load |"
echo "|---|---|---|---|---|---|---|"
status=0
for bench in dravik-bench-download dravik-bench-zmodem dravik-bench-usb dravik-bench-srec dravik-bench-terminal \
  dravik-bench-fleet; do
  if [ -x "$dir/$bench" ]; then
    "$dir/$bench" || status=1
  else
    echo "| $bench | not built | | | | | |"
  fi
done
echo
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
