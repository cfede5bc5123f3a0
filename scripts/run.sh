#!/usr/bin/env bash
# Installs what is missing, builds, and shows Keldrin at work: keldrin-devsim plays a device on
# COM 7 (within the 24 ports the window lists by default, and the port examples/board.cmd
# stores), the sample project programs it unattended, the run summary is printed, and then the
# window opens (when there is a display) with the simulated device still on COM 7.
# With arguments, starts Keldrin with them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
if [ $# -gt 0 ]; then exec ./build/keldrin "$@"; fi

com=7
work=$(mktemp -d)
export KELDRIN_PORTS="$work/Keldrin.ports"
# A map of the demo's own: the simulated device is the only port it lists.
printf '# the demo: only the simulated device\nAddSystemDevices=no\n' >"$KELDRIN_PORTS"
./build/keldrin-devsim --com "$com" --image "$work/image.bin" >"$work/device" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/device" ] && break; sleep 0.1; done
echo "Simulated device on COM$com: $(head -n1 "$work/device") (port map $KELDRIN_PORTS)"

echo "Running: keldrin $com examples/board.cmd (unattended)"
status=0
QT_QPA_PLATFORM=offscreen ./build/keldrin "$com" "$PWD/examples/board.cmd" 2>"$work/stderr" || status=$?
# The last line on standard error names the run summary.
summary=$(tail -n1 "$work/stderr")
echo "Exit status: $status (0: the run ended OK or Sent)"
if [ -f "$summary" ]; then
  echo "Run summary ($summary):"
  sed 's/\r$//; s/^/    /' "$summary"
else
  echo "No run summary; Keldrin said:"
  sed 's/^/    /' "$work/stderr"
fi
files=$(dirname "$summary")
echo "Capture file of the run: $(ls -t "$files"/Keldrin-Comm$com\ *.log 2>/dev/null | head -n1)"
if [ -f "$files/_errors_log.txt" ]; then echo "Error log: $files/_errors_log.txt"; fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the window; COM$com is the simulated device until you close it."
  echo "(Its port list holds COM$com alone: pick it, press \"Load Project=>\" for examples/board.cmd, then \"Program\".)"
  ./build/keldrin
else
  echo "No display: not opening the window."
fi
