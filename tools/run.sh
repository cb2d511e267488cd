#!/usr/bin/env bash
# Builds Merrivan and starts it.
#
# With a USB or serial meter plugged in (/dev/ttyUSB*, /dev/ttyACM*) the
# program starts from build/ as usual; its first start searches for the port.
# Without one it starts the simulated meter (tools/metersim) on a
# pseudo-terminal and runs the program against it from build/demo/, so you see
# live readings at once.  --demo forces the simulated meter, --meter the real one.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/stored_port.sh
tools/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERRIVAN_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target merrivan metersim

mode=${1:-auto}
if [ "$mode" = auto ]; then
  mode=demo
  for dev in /dev/ttyUSB* /dev/ttyACM*; do
    [ -e "$dev" ] && mode=meter
  done
fi
if [ "$mode" = --meter ] || [ "$mode" = meter ]; then
  cd build
  exec ./merrivan
fi

mkdir -p build/demo
cd build/demo
link="$PWD/simulated-meter"
../tools/metersim/metersim --link "$link" --9600 --channels 4 --rate 2 --describe 60 >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "$link" ] && break
  sleep 0.1
done

# COM16 leads to the simulator; the rest of the file (the Monitor's state) stays.
if [ -f Merrivan.ini ]; then
  awk '/^\[/{skip = ($0 == "[State1]" || $0 == "[ComPorts]")} !skip' Merrivan.ini > Merrivan.ini.new
  mv Merrivan.ini.new Merrivan.ini
fi
stored_port_ini "$link" >> Merrivan.ini
# A history of its own: the demonstration never writes into the user's.
MERRIVAN_SIMULATED_METER=1 ../merrivan --history "$PWD/history.sqlite"
