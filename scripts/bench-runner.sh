#!/usr/bin/env bash
# Benchmark (not a test), all figures in one run:
#  - a 2,000-line firmware row against keldrin-devsim with no delay after each line, 30 seconds
#    of waiting on a silent device, 20 MiB streamed by a device during a wait, and an hour of
#    921600-baud traffic into the terminal (as fast as it goes) with the memory it leaves;
#  - the unattended program, one station and eight at once, each with its own keldrin-devsim,
#    beside a minimal send-a-line/wait-for-"OK" loop over the same device.
# Arguments: [lines] [wait seconds] [receive MiB] [terminal hours] [stations].
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
lines=${1:-2000}
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
KELDRIN_TEST_SILENT=1 ./build/keldrin_runner_bench "$lines" "${2:-30}" "${3:-20}" "${4:-1}" 2>/dev/null
python3 scripts/bench_stations.py build "$lines" "${5:-8}"
