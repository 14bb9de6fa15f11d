#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (ASan + UBSan) and runs each for SECONDS.
#
#   tools/fuzz.sh [-p] SECONDS [bmp] [jpeg]
#
# -p runs the fuzzers at the same time, one process each; otherwise one after the other.
# New corpus entries go to build-fuzz-clang/fuzz-work/<kind> (the committed seeds in
# fuzz/corpus are only read); crash, timeout and out-of-memory inputs are saved under
# fuzz/crashes/<kind>/, where the test suite replays them. Exits non-zero if any fuzzer failed.
set -euo pipefail
cd "$(dirname "$0")/.."

parallel=0
if [ "${1:-}" = "-p" ]; then
  parallel=1
  shift
fi
seconds=${1:?usage: tools/fuzz.sh [-p] SECONDS [bmp] [jpeg]}
shift
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(bmp jpeg)

build=build-fuzz-clang
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPORUMINA_FUZZ=ON -DPORUMINA_TESTS=OFF -DPORUMINA_BENCH=OFF >/dev/null
targets=()
for kind in "${kinds[@]}"; do targets+=("fuzz_$kind"); done
cmake --build "$build" -j2 --target "${targets[@]}"

# The harness writes each input to a file; tmpfs keeps that off the disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  local kind=$1
  local work=$build/fuzz-work/$kind
  mkdir -p "$work" "fuzz/crashes/$kind"
  # Sprites of 100 x 200 fit in 16 KiB in every encoding the seeds use. A few dozen bytes can
  # declare a 2^26-pixel picture, which the sanitizers take seconds to key and draw; only a
  # minute counts as a hang.
  "$build/fuzz/fuzz_$kind" -dict="fuzz/$kind.dict" -max_len=16384 -timeout=60 \
    -rss_limit_mb=2560 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="fuzz/crashes/$kind/" "$work" "fuzz/corpus/$kind" \
    >"$build/fuzz-$kind.log" 2>&1
}

summary() {
  local kind=$1 status=$2 log=$build/fuzz-$1.log
  local last runs speed
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "fuzz_$kind: exit $status, ${runs:-?} runs, ${speed:-?} exec/s; $last"
  if [ "$status" -ne 0 ]; then
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20 || true
  fi
}

declare -A status
if [ $parallel -eq 1 ]; then
  declare -A pids
  for kind in "${kinds[@]}"; do
    run_one "$kind" &
    pids[$kind]=$!
  done
  for kind in "${kinds[@]}"; do
    if wait "${pids[$kind]}"; then status[$kind]=0; else status[$kind]=$?; fi
  done
else
  for kind in "${kinds[@]}"; do
    if run_one "$kind"; then status[$kind]=0; else status[$kind]=$?; fi
  done
fi

failed=0
for kind in "${kinds[@]}"; do
  summary "$kind" "${status[$kind]}"
  [ "${status[$kind]}" -eq 0 ] || failed=1
done
exit $failed
