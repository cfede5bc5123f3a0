#!/usr/bin/env bash
# Renders the window in each mode and every page offscreen into docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
QT_QPA_PLATFORM=offscreen KELDRIN_TEST_SILENT=1 ./build/tests/keldrin_screenshots docs/screenshots
QT_QPA_PLATFORM=offscreen KELDRIN_TEST_SILENT=1 ./build/tests/table_editing_screenshots docs/screenshots
