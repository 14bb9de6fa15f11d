#!/usr/bin/env bash
# Builds the toy and starts it (from its build folder, where its data folder lies).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
cd build
exec ./porumina
