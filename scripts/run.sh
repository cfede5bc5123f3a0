#!/usr/bin/env bash
# Installs what is missing, builds, and starts Keldrin with any arguments given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
exec ./build/keldrin "$@"
