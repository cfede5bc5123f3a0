#!/usr/bin/env bash
# Renders the window in each mode and every page, the About and Versions boxes offscreen into
# docs/screenshots, and the 256-pixel icon into data/icons.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
QT_QPA_PLATFORM=offscreen KELDRIN_TEST_SILENT=1 ./build/tests/keldrin_screenshots docs/screenshots \
  data/icons/keldrin-256.png
QT_QPA_PLATFORM=offscreen KELDRIN_TEST_SILENT=1 ./build/tests/table_editing_screenshots docs/screenshots
