# Sourced by run.sh and screenshots.sh: the terminal simulator on a link in
# the current working folder, and the demonstration terminal of
# tools/sim/example.sim in its configuration. Needs $root (the source tree),
# $cli and $sim (the programs).

# Starts the simulator on ./ttyTORNU with the example state and points
# "Modem"/"ComPort" of ./tornucfg.ini at it; its id is left in $sim_pid.
demo_start_sim() {
  local link=$PWD/ttyTORNU
  # The settings file is Windows-1251 with CR LF line ends; the path is ASCII.
  sed -i "s|^ComPort=[^\r]*|ComPort=$link|; s|^Emul=[^\r]*|Emul=0|" tornucfg.ini
  "$sim" --link "$link" --state "$root/tools/sim/example.sim" --log sim.log &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -e "$link" ] && break
    sleep 0.1
  done
}

demo_stop_sim() {
  if [ -n "${sim_pid:-}" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
  fi
}

# Terminal 12 as the simulator plays it: its own partition, partition 1 with
# an expander and a relay module, loops distributed. Kept when it exists;
# $demo_created tells whether it was made now.
demo_terminal() {
  demo_created=
  if "$cli" show 12 >/dev/null 2>&1; then
    return 0
  fi
  demo_created=1
  echo "== Базовый модуль 12 как в example.sim"
  "$cli" add-terminal 12 --type БМ-4 --phone +79001234567 --password 1234
  "$cli" edit 12/0 --name "Склад №3" --password 0000
  "$cli" add-device 12 --address 1 --type Раздел-8 --name Офис --password 1111
  "$cli" add-device 12/1 --address 5 --type "Расширитель ШС-4"
  "$cli" add-device 12/1 --address 6 --type "Релейный модуль РМ-4"
  "$cli" distribute 12
}
