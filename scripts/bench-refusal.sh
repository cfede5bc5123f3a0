#!/usr/bin/env bash
# Benchmark (not a test): how long the built keldrin takes to refuse an unattended start that
# cannot work (port number 0), from fork to exit status 2. Argument: [runs] (default 10).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
runs=${1:-10}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp examples/board.cmd examples/board.hex examples/board.chk "$dir/"
best=""
total=0
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  status=0
  QT_QPA_PLATFORM=offscreen KELDRIN_TEST_SILENT=1 ./build/keldrin 0 "$dir/board.cmd" 2>/dev/null || status=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  if [ "$status" -ne 2 ]; then
    echo "exit status $status, not 2" >&2
    exit 1
  fi
  total=$((total + ms))
  if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
done
echo "refusing a start with port 0: best $best ms, mean $((total / runs)) ms over $runs runs"
