#!/bin/bash
# Many meters, one broker: starts one mosquitto on a free port and N headless
# instances of the program, each reading its own simulated meter at the full
# line rate (metersim --rate max --channels 2), for MINUTES minutes. At the end
# it prints, per instance, the frames the meter sent, those the program took and
# refused, the frames lost, the MQTT state messages the broker passed on, and
# the CPU share and peak memory (VmHWM) of the broker and of each instance,
# measured from /proc over the run (start-up left out).
#
# Usage: tools/scale_run.sh N MINUTES
#   BUILD_DIR  build folder holding merrivan and tools/metersim/metersim (default build)
#   MQTT_ARGS  extra options for each instance; {port} becomes the broker's port
#              (each instance's [Mqtt] section already names the broker)
#   TOPIC      the state topic of instance i, %d is i
#              (default merrivan/com%d/state)
#   KEEP=1     keeps the work folder (logs, settings) and says where
set -u
n=${1:-}
minutes=${2:-}
if ! [[ $n =~ ^[0-9]+$ && $minutes =~ ^[0-9]+([.][0-9]+)?$ ]] || ((n < 1 || n > 64)); then
  echo "Usage: $0 N(1..64) MINUTES" >&2
  exit 2
fi
build=$(cd "${BUILD_DIR:-build}" && pwd) || exit 1
program=$build/merrivan
metersim=$build/tools/metersim/metersim
for f in "$program" "$metersim"; do
  [ -x "$f" ] || { echo "$0: $f not built (cmake --build $build --target merrivan metersim)" >&2; exit 1; }
done
topic_format=${TOPIC:-merrivan/com%d/state}
work=$(mktemp -d /tmp/merrivan-scale-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

hz=$(getconf CLK_TCK)
# utime + stime of a process, in ticks.
ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{print $12 + $13}'; }
peak_kib() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status" 2>/dev/null; }
now_ms() { date +%s%3N; }

# The broker, on a port nobody uses.
broker=-1
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
if [ -x /usr/sbin/mosquitto ]; then
  printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" > "$work/mosquitto.conf"
  /usr/sbin/mosquitto -c "$work/mosquitto.conf" > "$work/mosquitto.log" 2>&1 &
  broker=$!
  pids+=("$broker")
  sleep 0.5
  if command -v mosquitto_sub >/dev/null; then
    mosquitto_sub -h 127.0.0.1 -p "$port" -v -t 'merrivan/+/state' > "$work/messages" 2>/dev/null &
    pids+=("$!")
  fi
else
  echo "no broker (/usr/sbin/mosquitto): messages are not counted" >&2
fi

# One meter and one instance each, with settings of their own; past 16 the COM
# numbers repeat, each instance mapping its number to its own meter.
sims=()
insts=()
for ((i = 1; i <= n; i++)); do
  mkdir -p "$work/com$i"
  "$metersim" --rate max --channels 2 --no-describe --summary --wait-go --link "$work/meter$i" \
    > /dev/null 2> "$work/metersim$i.log" &
  sims+=("$!")
  pids+=("$!")
  printf '[State1]\nCOMPORT_PORTNO=%d\nCOMPORT_BAUDRATE=9600\nCOMPORT_PARITY=0\nCOMPORT_DATABITS=8\nCOMPORT_STOPBITS=1\n[ComPorts]\nCOM%d=%s\n' \
    "$(( (i - 1) % 16 + 1 ))" "$(( (i - 1) % 16 + 1 ))" "$work/meter$i" > "$work/com$i/Merrivan.ini"
  # Each instance publishes to the one broker as meter com<i>.
  [ "$broker" -gt 0 ] && printf '[Mqtt]\nEnabled=true\nHost=127.0.0.1\nPort=%d\nMeterId=com%d\n' \
    "$port" "$i" >> "$work/com$i/Merrivan.ini"
done
for ((i = 1; i <= n; i++)); do
  for _ in $(seq 50); do [ -e "$work/meter$i" ] && break; sleep 0.1; done
  extra=${MQTT_ARGS:-}
  # shellcheck disable=SC2086  # the extra options are split on purpose
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    "$program" --headless --settings "$work/com$i/Merrivan.ini" --history "$work/com$i/history.sqlite" ${extra//\{port\}/$port} \
    > /dev/null 2> "$work/merrivan$i.log" &
  insts+=("$!")
  pids+=("$!")
done
# Measured once every instance is up and reading.
for ((i = 1; i <= n; i++)); do
  for _ in $(seq 300); do grep -q "link opened" "$work/merrivan$i.log" && break; sleep 0.1; done
done
# Every meter starts now: no frame goes out before its reader is there.
for p in "${sims[@]}"; do kill -USR1 "$p"; done
start_ms=$(now_ms)
declare -A t0
for p in "${insts[@]}" $([ "$broker" -gt 0 ] && echo "$broker"); do t0[$p]=$(ticks "$p"); done

sleep "$(awk -v m="$minutes" 'BEGIN {print m * 60}')"

# The meters stop first; the programs get a moment to take what is queued.
for p in "${sims[@]}"; do kill -TERM "$p"; done
for p in "${sims[@]}"; do wait "$p"; done
sleep 2
elapsed_ms=$(($(now_ms) - start_ms))
declare -A cpu peak
for p in "${insts[@]}" $([ "$broker" -gt 0 ] && echo "$broker"); do
  cpu[$p]=$(awk -v a="${t0[$p]:-0}" -v b="$(ticks "$p")" -v hz="$hz" -v ms="$elapsed_ms" \
    'BEGIN {printf "%.1f", (b - a) / hz * 100000 / ms}')
  peak[$p]=$(peak_kib "$p")
done
for p in "${insts[@]}"; do kill -TERM "$p"; done
stopped_clean=0
for p in "${insts[@]}"; do wait "$p" && stopped_clean=$((stopped_clean + 1)); done

printf 'N=%d instances, %s min, elapsed %.1f s\n' "$n" "$minutes" "$(awk -v ms="$elapsed_ms" 'BEGIN {print ms / 1000}')"
printf '%-4s %9s %9s %8s %6s %9s %6s %6s %9s\n' inst sent taken refused lost messages mqlost cpu% maxrss_kb
for ((i = 1; i <= n; i++)); do
  sent=$(sed -n 's/^metersim: \([0-9]*\) frames sent$/\1/p' "$work/metersim$i.log")
  line=$(grep -o 'stopped: [0-9]* frames taken, [0-9]* refused' "$work/merrivan$i.log")
  taken=$(echo "$line" | awk '{print $2}')
  refused=$(echo "$line" | awk '{print $5}')
  topic=$(printf "$topic_format" "$i")
  messages=-
  mqlost=-
  if [ -f "$work/messages" ]; then
    messages=$(grep -c "^$topic " "$work/messages")
    [ -n "$taken" ] && mqlost=$((taken - messages))
  fi
  lost=-
  [ -n "$sent" ] && [ -n "$taken" ] && lost=$((sent - taken - ${refused:-0}))
  p=${insts[$((i - 1))]}
  printf '%-4s %9s %9s %8s %6s %9s %6s %6s %9s\n' "$i" "${sent:--}" "${taken:--}" "${refused:--}" \
    "$lost" "$messages" "$mqlost" "${cpu[$p]}" "${peak[$p]:--}"
done
if [ "$broker" -gt 0 ]; then
  printf 'broker: cpu %s%%, maxrss %s kB, messages %s\n' "${cpu[$broker]}" "${peak[$broker]:--}" \
    "$( [ -f "$work/messages" ] && wc -l < "$work/messages" || echo -)"
fi
echo "instances stopped with exit code 0: $stopped_clean of $n"
