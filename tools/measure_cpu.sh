#!/usr/bin/env bash
# What the history costs: the program's CPU share (utime + stime of
# /proc/PID/stat over SECONDS, default 60) while metersim streams two channels
# at the full line rate (about 45.7 frames/s), with the history on, with it
# off, and on a silent port (the floor: timers and the window, no frames).
# Headless (QT_QPA_PLATFORM=offscreen). BUILD_DIR chooses the build folder.
#   [ROUNDS=N] tools/measure_cpu.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/stored_port.sh
seconds=${1:-60}
build=$(cd "${BUILD_DIR:-build}" && pwd)
for t in merrivan tools/metersim/metersim; do
  [ -x "$build/$t" ] || { echo "build $build/$t first" >&2; exit 1; }
done
work=$(mktemp -d)
sim= prog=
cleanup() {
  for p in $prog $sim; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
hz=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# measure NAME HISTORY(1|0) METERSIM-OPTIONS...: prints the share of one core in %.
measure() {
  local name=$1 enabled=$2; shift 2
  local dir=$work/$name
  mkdir -p "$dir"
  ( cd "$dir" && exec "$build/tools/metersim/metersim" --link "$dir/meter" --9600 "$@" >/dev/null ) &
  sim=$!
  for _ in $(seq 50); do [ -e "$dir/meter" ] && break; sleep 0.1; done
  { stored_port_ini "$dir/meter"; printf '\n[History]\nEnabled=%s\n' "$enabled"; } > "$dir/Merrivan.ini"
  ( cd "$dir" && QT_QPA_PLATFORM=offscreen exec "$build/merrivan" --history "$dir/history.sqlite" \
      >/dev/null 2>&1 ) &
  prog=$!
  sleep 5  # start-up and the first commits are not part of the figure
  local t0 s0 t1 s1
  t0=$(ticks "$prog"); s0=$(date +%s.%N)
  sleep "$seconds"
  t1=$(ticks "$prog"); s1=$(date +%s.%N)
  kill "$prog" "$sim"; wait "$prog" "$sim" 2>/dev/null || true
  prog= sim=
  awk -v d=$((t1 - t0)) -v hz="$hz" -v a="$s0" -v b="$s1" \
    'BEGIN { printf "%.2f", 100 * d / hz / (b - a) }'
}

# On and off take turns, so that the load of the rest of the machine falls on
# both alike; ROUNDS (default 1) pairs, each figure their mean.
rounds=${ROUNDS:-1}
on_all= off_all=
for r in $(seq "$rounds"); do
  on_all="$on_all $(measure on$r 1 --channels 2 --rate max)"
  off_all="$off_all $(measure off$r 0 --channels 2 --rate max)"
done
floor=$(measure floor 1 --channels 2 --rate max --silence-after 1 --silence-for 100000)
mean() { echo "$@" | awk '{ s = 0; for (i = 1; i <= NF; i++) s += $i; printf "%.2f", s / NF }'; }
on=$(mean $on_all) off=$(mean $off_all)
printf 'CPU of one core, %s x %s s each, metersim --rate max --channels 2:\n' "$rounds" "$seconds"
printf '  history on    %s %%  (%s )\n  history off   %s %%  (%s )\n' "$on" "$on_all" "$off" "$off_all"
printf '  silent port   %s %% (floor)\n' "$floor"
awk -v a="$on" -v b="$off" 'BEGIN { printf "  history adds  %.2f points\n", a - b }'
