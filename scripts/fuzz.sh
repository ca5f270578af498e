#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds
# (default 60):  scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}; shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTORNU_BUILD_FUZZERS=ON \
  -DTORNU_BUILD_TESTS=OFF -DTORNU_BUILD_BENCH=OFF -DTORNU_SANITIZE="address;undefined" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(cd fuzz && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')
fi
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  echo "== $t for ${secs}s"
  "build-fuzz/fuzz/$t" -max_total_time="$secs" -print_final_stats=1 "build-fuzz/corpus/$t"
done
