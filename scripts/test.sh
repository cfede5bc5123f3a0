#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen KELDRIN_TEST_SILENT=1 ctest --output-on-failure -j "$(nproc)" "$@"
