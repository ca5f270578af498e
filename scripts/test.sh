#!/usr/bin/env bash
# Builds the project and runs every test.
#   scripts/test.sh            plain build in build/
#   scripts/test.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh tsan       ThreadSanitizer in build-tsan/ (the threaded layers' tests)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-plain}
jobs=$(nproc)
case "$mode" in
  plain) dir=build; flags=() ;;
  asan)  dir=build-asan; flags=(-DTORNU_SANITIZE="address;undefined" -DTORNU_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  tsan)  dir=build-tsan; flags=(-DTORNU_SANITIZE=thread -DTORNU_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  *) echo "usage: $0 [plain|asan|tsan]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
label=()
# Only the layers with threads of their own are worth ThreadSanitizer's time.
if [ "$mode" = tsan ]; then label=(-L threads); fi
ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${label[@]}"
