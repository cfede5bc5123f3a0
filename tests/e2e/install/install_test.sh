#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR as a package would, checks what a desktop and a
# user see (desktop entry, metainfo, icons, manual pages, --help, --version), then programs
# keldrin-devsim with the installed program from a read-only install folder: the run summary
# must land in $XDG_DATA_HOME/keldrin and its path be the one line on standard error.
# Usage: install_test.sh <build dir> <examples dir>
set -euo pipefail
build=$1
examples=$2

fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
devsim_pid=
cleanup() {
  local status=$?
  if [ -n "$devsim_pid" ]; then kill "$devsim_pid" 2>/dev/null || true; wait "$devsim_pid" 2>/dev/null || true; fi
  if compgen -G "$work/sanitizer/report.*" >/dev/null; then
    cat "$work"/sanitizer/report.* >&2
    echo "FAIL: sanitizer reports of the installed programs (above)" >&2
    status=1
  fi
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
chmod 755 "$work"
# In a sanitized build (KELDRIN_ASAN) the programs' reports go to files, checked at the end:
# on standard error they could be lost among what this script reads or throws away.
mkdir -m 1777 "$work/sanitizer"
for var in ASAN_OPTIONS UBSAN_OPTIONS; do
  export "$var=${!var:+${!var}:}log_path=$work/sanitizer/report"
done

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$work/install.log"
bin="$root/usr/bin"
share="$root/usr/share"

for f in "$bin/keldrin" "$bin/keldrin-devsim" "$share/applications/keldrin.desktop" \
         "$share/metainfo/com.quenlor.keldrin.metainfo.xml" \
         "$share/icons/hicolor/scalable/apps/keldrin.svg" \
         "$share/icons/hicolor/256x256/apps/keldrin.png" \
         "$share/man/man1/keldrin.1.gz" "$share/man/man1/keldrin-devsim.1.gz"; do
  [ -f "$f" ] || fail "not installed: ${f#"$root"}"
done

desktop-file-validate "$share/applications/keldrin.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/com.quenlor.keldrin.metainfo.xml" >"$work/as.log" ||
  { cat "$work/as.log"; fail "appstreamcli validate"; }
file "$share/icons/hicolor/256x256/apps/keldrin.png" | grep -q "PNG image data, 256 x 256" ||
  fail "the PNG icon is not 256 x 256"
grep -q "<svg" "$share/icons/hicolor/scalable/apps/keldrin.svg" || fail "the SVG icon"

for page in keldrin keldrin-devsim; do
  warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >"$work/$page.txt") ||
    fail "man -l $page"
  [ -z "$warnings" ] || fail "man -l $page warns: $warnings"
  for section in SYNOPSIS "EXIT STATUS" FILES "PORT MAP"; do
    grep -q "^$section" "$work/$page.txt" || fail "$page(1) has no $section"
  done
done
grep -q "~/.local/share/keldrin" "$work/keldrin.txt" || fail "keldrin(1) does not say where the files go"

# --help and --version need no display.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/keldrin" --version) ||
  fail "--version exits $?"
[ "$out" = "Keldrin 4.0.7 (build 420)" ] || fail "--version prints '$out'"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/keldrin" --help) ||
  fail "--help exits $?"
for part in "keldrin <port> <project.cmd>" "Exit status" "KELDRIN_HOME" "XDG_DATA_HOME/keldrin"; do
  grep -qF "$part" <<<"$help" || fail "--help does not say '$part'"
done
status=0
"$bin/keldrin" --bogus 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a bad argument exits $status, not 2"

# The unattended run from a read-only install folder. Root writes anywhere, so as root the
# programs run as nobody, for whom /usr is read-only as for any user.
chmod -R a-w "$root"
as_user=()
if [ "$(id -u)" -eq 0 ]; then as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi
home="$work/home"
data="$work/data"
project="$work/project"
mkdir -p "$home" "$data" "$project"
cp "$examples/board.cmd" "$examples/board.hex" "$examples/board.chk" "$project/"
if [ "$(id -u)" -eq 0 ]; then chown -R 65534:65534 "$home" "$data"; fi
run_env=(env -u KELDRIN_HOME -u KELDRIN_PORTS -u XDG_RUNTIME_DIR HOME="$home" XDG_DATA_HOME="$data")

"${run_env[@]}" "${as_user[@]}" "$bin/keldrin-devsim" --com 7 >"$work/device" 2>"$work/device.err" &
devsim_pid=$!
for _ in $(seq 100); do [ -s "$work/device" ] && break; sleep 0.1; done
[ -s "$work/device" ] || { cat "$work/device.err"; fail "keldrin-devsim did not start"; }
[ -f "$data/keldrin/Keldrin.ports" ] || fail "keldrin-devsim did not put its port map in $data/keldrin"

status=0
"${run_env[@]}" QT_QPA_PLATFORM=offscreen "${as_user[@]}" "$bin/keldrin" 7 "$project/board.cmd" \
  2>"$work/stderr" || status=$?
summary="$data/keldrin/Keldrin-Comm7.log"
[ "$status" -eq 0 ] || { cat "$work/stderr"; fail "the unattended run exits $status"; }
[ "$(cat "$work/stderr")" = "$summary" ] ||
  fail "standard error is not just the summary's path: $(cat "$work/stderr")"
cmp -s <(printf '\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n') "$summary" ||
  fail "run summary: $(od -c "$summary" | head -3)"
leftovers=$(find "$root" -newer "$work/install.log" -type f)
[ -z "$leftovers" ] || fail "written into the install folder: $leftovers"
echo "installed, validated and programmed COM7 from a read-only install"
