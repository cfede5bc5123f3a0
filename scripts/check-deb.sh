#!/usr/bin/env bash
# Installs build/keldrin_*.deb with apt-get as a user would, checks that `keldrin` is on the PATH
# and in the desktop menu with its manual page, programs keldrin-devsim with the installed
# programs as an ordinary user, and removes the package again. Needs root (or sudo); a machine
# that already has a keldrin package installed is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
deb=$(ls "$PWD"/build/keldrin_*.deb)

fail() { echo "FAIL: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' keldrin 2>/dev/null | grep -q "install ok installed"; then
  echo "a keldrin package is installed already: not installing $deb over it"
  exit 0
fi

work=$(mktemp -d)
devsim_pid=
cleanup() {
  if [ -n "$devsim_pid" ]; then kill "$devsim_pid" 2>/dev/null || true; wait "$devsim_pid" 2>/dev/null || true; fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq keldrin >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install $deb"; }

[ "$(command -v keldrin)" = /usr/bin/keldrin ] || fail "keldrin is not /usr/bin/keldrin on the PATH"
[ "$(command -v keldrin-devsim)" = /usr/bin/keldrin-devsim ] || fail "keldrin-devsim is not on the PATH"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY keldrin --version) || fail "keldrin --version exits $?"
[ "$out" = "Keldrin 4.0.7 (build 420)" ] || fail "keldrin --version prints '$out'"
desktop-file-validate /usr/share/applications/keldrin.desktop || fail "the installed desktop entry"
grep -q "^Exec=keldrin" /usr/share/applications/keldrin.desktop || fail "the menu entry runs no keldrin"
MANWIDTH=80 man keldrin 2>/dev/null | grep -q "^EXIT STATUS" || fail "man keldrin"

# The installed programs as an ordinary user (nobody): files in $XDG_DATA_HOME/keldrin.
as_user=()
if [ "$(id -u)" -eq 0 ]; then as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi
data="$work/data"
mkdir -p "$data" "$work/project" "$work/home"
cp examples/board.cmd examples/board.hex examples/board.chk "$work/project/"
if [ "$(id -u)" -eq 0 ]; then chown -R 65534:65534 "$data" "$work/home"; fi
run_env=(env -u KELDRIN_HOME -u KELDRIN_PORTS -u XDG_RUNTIME_DIR HOME="$work/home" XDG_DATA_HOME="$data")
"${run_env[@]}" "${as_user[@]}" keldrin-devsim --com 7 >"$work/device" 2>"$work/device.err" &
devsim_pid=$!
for _ in $(seq 100); do [ -s "$work/device" ] && break; sleep 0.1; done
[ -s "$work/device" ] || { cat "$work/device.err"; fail "keldrin-devsim did not start"; }
status=0
"${run_env[@]}" QT_QPA_PLATFORM=offscreen "${as_user[@]}" keldrin 7 "$work/project/board.cmd" \
  2>"$work/stderr" || status=$?
[ "$status" -eq 0 ] || { cat "$work/stderr"; fail "the unattended run exits $status"; }
summary="$data/keldrin/Keldrin-Comm7.log"
[ "$(cat "$work/stderr")" = "$summary" ] || fail "standard error: $(cat "$work/stderr")"
grep -q "^OK" "$summary" || fail "run summary: $(od -c "$summary" | head -3)"
echo "$(basename "$deb"): installed with apt-get, on the PATH and in the menu, programmed COM7, removed"
