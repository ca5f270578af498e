#!/usr/bin/env bash
# Builds the programs and starts the desktop program tornucfg in the working
# directory run/ (which gets the sample catalogue on first use), with the
# demonstration terminal 12 of tools/sim/example.sim in its configuration and
# the terminal simulator running on run/ttyTORNU, the link "Modem"/"ComPort"
# names, until the program ends; the terminal is selected and opened in the
# tree: explore the configuration, and exchange with the simulated terminal.
#
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) it says so and
# shows the command-line demonstration instead: tornucfg-cli reads the
# terminal's state through the simulator, printing the exchange log and the
# results, then a fleet job: six terminals of tools/sim/fleet.txt behind two
# simulated modems, run with "tornucfg-cli batch" (one busy at first, one
# refusing its password, one dropping its first call), and its report.
#
# With arguments, runs tornucfg-cli with them in run/ instead:
#   ./scripts/run.sh list      ./scripts/run.sh show 12/0
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target tornucfg tornucfg-cli tornucfg-sim
cli=$root/build/tools/tornucfg-cli
sim=$root/build/tools/tornucfg-sim
app=$root/build/src/app/tornucfg
. scripts/demo.sh
mkdir -p run
if [ ! -f run/tornucfg.ini ]; then
  cp data/tornucfg.ini run/
fi
cd run
if [ $# -gt 0 ]; then
  exec "$cli" "$@"
fi

echo "== Симулятор терминала на $PWD/ttyTORNU (журнал кадров: run/sim.log)"
demo_start_sim
trap demo_stop_sim EXIT
demo_terminal

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if [ -n "$demo_created" ]; then
    echo "== Первый обмен с разделом 1: состояние шлейфов и параметры"
    "$cli" run 12/1 ReadStatus --yes >/dev/null || true
  fi
  echo "== Торну-конфигуратор в run/; симулятор работает, пока открыто окно программы"
  "$app" --select 12
  exit 0
fi

echo "== Графический дисплей недоступен (не заданы DISPLAY и WAYLAND_DISPLAY):"
echo "   окно программы не открыть, вместо него — демонстрация в командной строке."
"$cli" list
echo "== Обмен с базовым модулем: конфигурация шлейфов и часы"
status=0
"$cli" run 12 ReadLoopConfig SetClock --yes || status=$?
echo "== Обмен с разделом 1: состояние, телефонная книга, ключи"
"$cli" run 12/1 ReadStatus ReadPhoneBook ReadKeys --yes || status=$?
echo "== Что показывает окно раздела 1 после обмена"
"$cli" show 12/1

echo "== Пакетный обмен: шесть базовых модулей за двумя модемами (tools/sim/fleet.txt)"
fleet_pids=()
for n in 1 2; do
  "$sim" --link "$PWD/ttyFLEET$n" --state "$root/tools/sim/fleet-terminal.sim" \
    --fleet "$root/tools/sim/fleet.txt" --log "fleet$n.log" >/dev/null &
  fleet_pids+=($!)
done
trap 'demo_stop_sim; kill "${fleet_pids[@]}" 2>/dev/null || true' EXIT
for n in 1 2; do
  for _ in $(seq 50); do
    [ -e "ttyFLEET$n" ] && break
    sleep 0.1
  done
done
for id in 31 32 33 34 35 36; do
  if ! "$cli" show "$id" >/dev/null 2>&1; then
    "$cli" add-terminal "$id" --type БМ-4 --phone "+790000000$id" --password link >/dev/null
    "$cli" edit "$id/0" --password 0000 >/dev/null
  fi
done
job=$("$cli" batch new "Демонстрация" --terminals 31-36 --commands SetClock,ReadStatus --delay 2)
"$cli" batch run "$job" --ports "$PWD/ttyFLEET1,$PWD/ttyFLEET2" || true
"$cli" batch status "$job" || true
echo "== Отчет (CSV)"
"$cli" batch report "$job"
exit "$status"
