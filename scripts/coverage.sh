#!/usr/bin/env bash
# Line and branch coverage of src/ and tools/ by the test suites, with gcovr:
#   scripts/coverage.sh            build in build-cov/, run every suite, print the summary
#   scripts/coverage.sh --html     also write build-cov/coverage/index.html
# Exceptions' hidden branches and the compiler's unreachable ones are left out, so
# the branch figure counts the decisions written in the code.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-cov
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTORNU_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="--coverage" -DCMAKE_CXX_FLAGS="--coverage" \
  -DCMAKE_EXE_LINKER_FLAGS="--coverage" -DCMAKE_SHARED_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$dir" -j "$(nproc)"

# Counters from an earlier run would add up with this one.
find "$dir" -name '*.gcda' -delete
export QT_QPA_PLATFORM=offscreen
# A test that fails only under load is run again rather than left out of the figures.
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --repeat until-pass:3 \
  || echo "coverage: some tests failed" >&2

report=()
if [ "${1:-}" = --html ]; then
  mkdir -p "$dir/coverage"
  report=(--html-details "$dir/coverage/index.html")
fi
gcovr --root . --object-directory "$dir" --filter 'src/' --filter 'tools/' \
  --exclude-throw-branches --exclude-unreachable-branches \
  --print-summary "${report[@]}" -o "$dir/coverage.txt"
