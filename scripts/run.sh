#!/usr/bin/env bash
# Builds the program and starts it in the working directory run/, which gets
# the sample catalogue on first use.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"
mkdir -p run
if [ ! -f run/tornucfg.ini ] && [ -f data/tornucfg.ini ]; then
  cp data/tornucfg.ini run/
fi
if [ -x build/tools/tornucfg-cli ]; then
  cd run && exec ../build/tools/tornucfg-cli "${@:-list}"
fi
# Until the program itself is built, the smoke run is the test suite.
exec ctest --test-dir build --output-on-failure
