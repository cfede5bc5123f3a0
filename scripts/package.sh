#!/usr/bin/env bash
# Builds the Debian package build/keldrin_<version>_<arch>.deb and lists what it holds.
# Install it with: sudo apt-get install ./build/keldrin_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh "$@"
cd build
rm -f keldrin_*.deb
cpack -G DEB >/dev/null
deb=$(ls keldrin_*.deb)
echo "$PWD/$deb"
dpkg-deb --field "$deb" Package Version Architecture Depends
dpkg-deb --contents "$deb"
