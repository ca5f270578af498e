#!/usr/bin/env bash
# Renders the desktop program headless to PNG files in OUTDIR: the main
# window on the demonstration terminal (terminal selected, partition with its
# loop list and parameter grid, a subordinate device, the structure hidden),
# the tree's context menus and every dialog. The terminal's states come from
# a real exchange with the simulator first.
#   scripts/screenshots.sh OUTDIR
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 OUTDIR" >&2
  exit 2
fi
mkdir -p "$1"
out=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
root=$PWD
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target tornucfg-shots tornucfg-cli tornucfg-sim
cli=$root/build/tools/tornucfg-cli
sim=$root/build/tools/tornucfg-sim
. scripts/demo.sh

work=$(mktemp -d)
trap 'demo_stop_sim; rm -rf "$work"' EXIT
cp data/tornucfg.ini "$work/"
cd "$work"
demo_start_sim
demo_terminal >/dev/null
"$cli" run 12 ReadLoopConfig --yes >/dev/null || true
"$cli" run 12/1 ReadStatus ReadKeys --yes >/dev/null || true
demo_stop_sim
QT_QPA_PLATFORM=offscreen "$root/build/tools/tornucfg-shots" --dir "$work" "$out"
