#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz (clang, AddressSanitizer and UBSan) into
# build-fuzz/ and runs each for a bounded time, two at a time at most:
#   scripts/fuzz.sh [seconds per harness, default 30] [harness ...]   (default: all of them)
# Each starts from its checked-in corpus (tests/fuzz/corpus/<harness>, regression inputs
# included) and keeps what it learns in build-fuzz/corpus/<harness>. A crash leaves its input in
# build-fuzz/artifacts/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELDRIN_FUZZ=ON -DKELDRIN_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzzers -j "$(nproc)"

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for f in tests/fuzz/corpus/*/; do harnesses+=("$(basename "$f")"); done
fi
mkdir -p build-fuzz/artifacts build-fuzz/logs
run() {
  local h=$1
  mkdir -p "build-fuzz/corpus/$h"
  QT_QPA_PLATFORM=offscreen KELDRIN_TEST_SILENT=1 "build-fuzz/fuzz/$h" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$h-" \
    "build-fuzz/corpus/$h" "tests/fuzz/corpus/$h" >"build-fuzz/logs/$h.log" 2>&1
}
failed=()
jobs_max=$(( $(nproc) < 2 ? 1 : 2 ))
pids=() names=()
for h in "${harnesses[@]}"; do
  run "$h" &
  pids+=($!) names+=("$h")
  if [ ${#pids[@]} -ge "$jobs_max" ]; then
    wait "${pids[0]}" || failed+=("${names[0]}")
    pids=("${pids[@]:1}") names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do wait "${pids[$i]}" || failed+=("${names[$i]}"); done

# One line per harness: executions, speed, code coverage (edges) and features, corpus size.
for h in "${harnesses[@]}"; do
  awk -v h="$h" '
    /^#[0-9]+/ && /cov: / { last = $0 }
    /^stat::number_of_executed_units/ { runs = $2 }
    /^stat::average_exec_per_sec/ { speed = $2 }
    END {
      match(last, /cov: [0-9]+/); cov = substr(last, RSTART + 5, RLENGTH - 5)
      match(last, /ft: [0-9]+/); ft = substr(last, RSTART + 4, RLENGTH - 4)
      match(last, /corp: [0-9]+\/[0-9]+[a-zA-Z]*/); corp = substr(last, RSTART + 6, RLENGTH - 6)
      printf "%-22s %9s runs %6s/s  cov %5s  ft %6s  corpus %s\n", h, runs, speed, cov, ft, corp
    }' "build-fuzz/logs/$h.log"
done
if [ ${#failed[@]} -gt 0 ]; then
  for h in "${failed[@]}"; do
    echo "== $h failed; its log:"
    tail -40 "build-fuzz/logs/$h.log"
  done
  exit 1
fi
