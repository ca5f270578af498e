#!/usr/bin/env bash
# Builds the command-line front end and the terminal simulator and, in the
# working directory run/ (which gets the sample catalogue on first use),
# shows a first exchange without equipment: the simulator plays the modem and
# the terminal of tools/sim/example.sim on run/ttyTORNU, "Modem"/"ComPort"
# points there, terminal 12 is created to match, and tornucfg-cli reads its
# state, printing the exchange log and the results.
#
# With arguments, runs tornucfg-cli with them in run/ instead:
#   ./scripts/run.sh list      ./scripts/run.sh show 12/0
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target tornucfg-cli tornucfg-sim
cli=$root/build/tools/tornucfg-cli
sim=$root/build/tools/tornucfg-sim
mkdir -p run
if [ ! -f run/tornucfg.ini ]; then
  cp data/tornucfg.ini run/
fi
cd run
if [ $# -gt 0 ]; then
  exec "$cli" "$@"
fi

link=$PWD/ttyTORNU
# The settings file is Windows-1251 with CR LF line ends; the path is ASCII.
sed -i "s|^ComPort=[^\r]*|ComPort=$link|; s|^Emul=[^\r]*|Emul=0|" tornucfg.ini

echo "== Симулятор терминала на $link (журнал кадров: run/sim.log)"
"$sim" --link "$link" --state "$root/tools/sim/example.sim" --log sim.log &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "$link" ] && break
  sleep 0.1
done

if ! "$cli" show 12 >/dev/null 2>&1; then
  echo "== Базовый модуль 12 как в example.sim"
  "$cli" add-terminal 12 --type БМ-4 --phone +79001234567 --password 1234
  "$cli" edit 12/0 --name "Склад №3" --password 0000
  "$cli" add-device 12 --address 1 --type Раздел-8 --name Офис --password 1111
  "$cli" add-device 12/1 --address 5 --type "Расширитель ШС-4"
  "$cli" add-device 12/1 --address 6 --type "Релейный модуль РМ-4"
  "$cli" distribute 12
fi
"$cli" list

echo "== Обмен с базовым модулем: конфигурация шлейфов и часы"
status=0
"$cli" run 12 ReadLoopConfig SetClock --yes || status=$?
echo "== Обмен с разделом 1: состояние, телефонная книга, ключи"
"$cli" run 12/1 ReadStatus ReadPhoneBook ReadKeys --yes || status=$?
echo "== Что показывает окно раздела 1 после обмена"
"$cli" show 12/1
exit "$status"
