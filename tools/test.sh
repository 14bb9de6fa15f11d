#!/usr/bin/env bash
# Builds and runs the whole test suite: a release build and an AddressSanitizer + UBSan build.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh "$@"
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPORUMINA_SANITIZE=ON -DPORUMINA_BENCH=OFF
cmake --build build-asan -j"$jobs"

status=0
echo "=== Debian package: build, install, start, remove (root only) ==="
tools/package-check.sh build || status=1
echo "=== Release build ==="
(cd build && ctest --output-on-failure -j"$jobs") || status=1
echo "=== AddressSanitizer + UBSan build ==="
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/../tests/lsan.supp" \
  ctest --output-on-failure -j"$jobs") || status=1
exit $status
