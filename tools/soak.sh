#!/usr/bin/env bash
# Runs the whole program headless for FRAMES frames (default 100000) at the top darkness level
# with clicks, in the sanitizer build, and reports frames, resident memory and LeakSanitizer's
# verdict.
#
#   tools/soak.sh [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-100000}

build=${SOAK_BUILD_DIR:-build-soak-asan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPORUMINA_SANITIZE=ON \
  -DPORUMINA_TESTS=OFF -DPORUMINA_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target soak

log=$(mktemp "${TMPDIR:-/tmp}/porumina-soak-XXXXXX")
trap 'rm -f "$log"' EXIT
start=$(date +%s)
status=0
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  "$build/soak" "$frames" "$PWD" 2>"$log" || status=$?
echo "time:       $(($(date +%s) - start)) s"

if grep -q 'ERROR: LeakSanitizer' "$log"; then
  echo "LeakSanitizer: LEAKS"
  cat "$log"
  exit 1
fi
if [ "$status" -ne 0 ] || [ -s "$log" ]; then
  echo "soak failed (exit $status)"
  cat "$log"
  exit 1
fi
echo "LeakSanitizer: no leaks"
