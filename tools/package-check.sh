#!/usr/bin/env bash
# Builds the Debian package, installs it with apt, starts the installed toy from an unrelated
# working directory under its own X server, closes its window the way a user would and purges
# the package again. It installs into the system, so it only runs as root (CI); elsewhere it skips.
# Usage: tools/package-check.sh [BUILD_DIR]   (default: build; configured here if it is not yet)
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $(id -u) -ne 0 ]]; then
  echo "package-check: skipped (installs a package into the system, needs root)"
  exit 0
fi

build_dir=$(realpath -m "${1:-build}")
for tool in cmake cpack apt-get dpkg-deb Xvfb xdotool xwininfo desktop-file-validate; do
  if ! command -v "$tool" >/dev/null; then
    echo "package-check: $tool is missing (tools/deps.sh installs it)" >&2
    exit 1
  fi
done

fail() {
  echo "package-check: FAILED: $*" >&2
  exit 1
}

work=$(mktemp -d /tmp/porumina-package-check.XXXXXX)
xvfb_pid=""
toy_pid=""
installed=0
cleanup() {
  local status=$?
  if [[ -n $toy_pid ]] && kill -0 "$toy_pid" 2>/dev/null; then
    kill "$toy_pid" 2>/dev/null || true
    wait "$toy_pid" 2>/dev/null || true
  fi
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  if [[ $installed -eq 1 ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q porumina >/dev/null || status=1
  fi
  if [[ $status -ne 0 ]]; then
    for log in "$work"/*.log; do
      [[ -s $log ]] && { echo "--- $(basename "$log")"; cat "$log"; }
    done >&2
  fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT

echo "=== Building the package in $build_dir ==="
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build_dir" -j2
rm -f "$build_dir"/porumina_*.deb
(cd "$build_dir" && cpack -G DEB)
packages=("$build_dir"/porumina_*.deb)
[[ ${#packages[@]} -eq 1 && -f ${packages[0]} ]] || fail "expected one porumina_*.deb in $build_dir"
package=${packages[0]}
dpkg-deb --field "$package" Package Version Architecture Section Depends

echo "=== Installing $(basename "$package") ==="
# --reinstall: a package of the same version left from an earlier run must not be kept instead.
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall "$package"
installed=1
[[ -x /usr/bin/porumina ]] || fail "/usr/bin/porumina was not installed"
desktop-file-validate /usr/share/applications/porumina.desktop ||
  fail "the installed desktop entry is not valid"
[[ -f /usr/share/icons/hicolor/32x32/apps/porumina.png ]] || fail "the icon was not installed"

echo "=== Starting the installed toy from another directory ==="
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ $(wc -l <"$work/display") -ge 1 ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
  sleep 0.1
done
display=":$(head -n 1 "$work/display")"
[[ $display != ":" ]] || fail "Xvfb did not report its display"
export DISPLAY=$display

mkdir "$work/elsewhere"
# The launcher execs the program, so this process id is the toy's own.
(cd "$work/elsewhere" && exec /usr/bin/porumina) >"$work/porumina.log" 2>&1 &
toy_pid=$!

window=""
for candidate in $(timeout 30 xdotool search --sync --onlyvisible --pid "$toy_pid" || true); do
  geometry=$(xwininfo -id "$candidate" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  if [[ $geometry == 400x256 ]]; then
    window=$candidate
    break
  fi
done
[[ -n $window ]] || fail "no 400x256 window from the installed toy"
echo "window $window is up (400x256)"
[[ $(readlink "/proc/$toy_pid/cwd") == /usr/share/porumina ]] ||
  fail "the toy runs in $(readlink "/proc/$toy_pid/cwd"), not beside its data folder"

echo "=== Closing the window ==="
# The end-to-end tests' X11 helper sends the close request as a window manager would.
probe=$build_dir/tests/e2e/x11probe
if [[ ! -x $probe ]]; then
  cmake --build "$build_dir" --target x11probe -j2
fi
"$probe" close "$window"
for _ in $(seq 100); do
  kill -0 "$toy_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$toy_pid" 2>/dev/null && fail "the toy did not exit after its window was closed"
toy_status=0
wait "$toy_pid" || toy_status=$?
toy_pid=""
[[ $toy_status -eq 0 ]] || fail "the toy exited with status $toy_status"

echo "=== Removing the package ==="
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q porumina
installed=0
[[ ! -e /usr/bin/porumina && ! -e /usr/lib/porumina ]] || fail "files left behind after removal"
echo "package-check: OK"
