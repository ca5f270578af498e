#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds
# (default 60):  scripts/fuzz.sh [seconds] [target...]
# Each target starts from its seed corpus in fuzz/corpus/<target>, copied into
# build-fuzz/corpus/<target> so that new entries never land in the checkout.
# A crash stops the run with a failure; its input is kept in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}; shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTORNU_BUILD_FUZZERS=ON \
  -DTORNU_BUILD_TESTS=OFF -DTORNU_BUILD_BENCH=OFF -DTORNU_SANITIZE="address;undefined" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(cd fuzz && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')
fi
# Only the targets and the libraries they link, not the programs.
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
mkdir -p build-fuzz/artifacts
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for t in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$t"
  mkdir -p "$corpus"
  if [ -d "fuzz/corpus/$t" ]; then cp -n fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true; fi
  echo "== $t for ${secs}s"
  "build-fuzz/fuzz/$t" -max_total_time="$secs" -print_final_stats=1 \
    -artifact_prefix="$PWD/build-fuzz/artifacts/$t-" "$PWD/$corpus" 2>"build-fuzz/$t.log" || {
    tail -n 60 "build-fuzz/$t.log" >&2
    echo "fuzz: $t failed; the input is in build-fuzz/artifacts/" >&2
    exit 1
  }
  grep -E '^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ +DONE)' "build-fuzz/$t.log" || true
done
