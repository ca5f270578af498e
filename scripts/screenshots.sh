#!/usr/bin/env bash
# Renders the desktop program headless to PNG files in OUTDIR: the main
# window on the demonstration terminal (terminal selected, partition with its
# loop list and parameter grid, a subordinate device, the structure hidden),
# the tree's context menus, every dialog, the message boxes, a file dialog and
# a text field's context menu, the change history and the comparison with
# the terminal. The terminal's states come from
# a real exchange with the simulator first; the exchange dialogs and the log
# window are pictured in another one. The fleet job's window (mid-job and
# finished) and its new-job dialog run over scripted modem lines.
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
# TORNU_SHOTS_BUILD: a build folder whose programs are taken as they are (the
# test suite renders every window that way); otherwise build/ is brought up to date.
build=${TORNU_SHOTS_BUILD:-}
if [ -z "$build" ]; then
  build=$root/build
  cmake -S . -B build -G Ninja >/dev/null
  cmake --build build -j "$(nproc)" --target tornucfg-shots tornucfg-cli tornucfg-sim
fi
cli=$build/tools/tornucfg-cli
sim=$build/tools/tornucfg-sim
. scripts/demo.sh

work=$(mktemp -d)
trap 'demo_stop_sim; rm -rf "$work"' EXIT
cp data/tornucfg.ini "$work/"
cd "$work"
demo_start_sim
demo_terminal >/dev/null
"$cli" run 12 ReadLoopConfig --yes >/dev/null || true
"$cli" run 12/1 ReadStatus ReadKeys ReadPhoneBook --yes >/dev/null || true
# The simulator stays on the line: the exchange dialogs are pictured in a
# real exchange.
# Pictured as an operator in a Russian locale sees it: Qt's own dialogs and
# menus in Russian too.
LANG=ru_RU.UTF-8 LC_ALL= LC_MESSAGES= LANGUAGE= QT_QPA_PLATFORM=offscreen \
  "$build/tools/tornucfg-shots" --dir "$work" "$out"
demo_stop_sim
