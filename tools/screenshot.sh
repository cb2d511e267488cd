#!/usr/bin/env bash
# Makes the README's screenshot again: the Monitor window with live readings
# from the simulated meter, on a virtual 1024x768 screen (Xvfb) with a window
# manager (openbox).
#
#   tools/screenshot.sh [WIDTHxHEIGHT] [OUTPUT]    default: 1024x768 docs/monitor.png
#
# BUILD_DIR chooses the build folder (default build). Installs xvfb, openbox,
# imagemagick and xdotool when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/stored_port.sh
root=$PWD
geometry=${1:-1024x768}
output=${2:-docs/monitor.png}
[[ $output = /* ]] || output=$root/$output
build=$root/${BUILD_DIR:-build}

tools/install_deps.sh
need=()
for p in xvfb openbox imagemagick xdotool; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target merrivan metersim

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 "${geometry}x24" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)

# As tools/run.sh does it: the simulator on a pseudo-terminal, COM16 leads there.
link=$work/simulated-meter
"$build/tools/metersim/metersim" --link "$link" --9600 --channels 4 --rate 2 --describe 60 >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
stored_port_ini "$link" > "$work/Merrivan.ini"
(cd "$work" && MERRIVAN_SIMULATED_METER=1 exec "$build/merrivan" --history "$work/history.sqlite") \
  >/dev/null 2>&1 &
pids+=($!)

# Until the window is up and a few frames have been shown.
for _ in $(seq 100); do
  xdotool search --name "Merrivan" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 6
mkdir -p "$(dirname "$output")"
import -window root "$work/screen.png"
# The palette keeps the picture small; the panel's flat colours survive it.
convert "$work/screen.png" -trim +repage -colors 128 PNG8:"$output"
echo "$output: $(identify -format '%wx%h, %b' "$output")"
