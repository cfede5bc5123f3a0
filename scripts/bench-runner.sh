#!/usr/bin/env bash
# Benchmark (not a test): a 2,000-line firmware row against keldrin-devsim with no delay after
# each line, and 30 seconds of waiting on a silent device. Arguments: [lines] [wait seconds].
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
KELDRIN_TEST_SILENT=1 ./build/keldrin_runner_bench "$@"
