#!/usr/bin/env bash
# Builds the fuzz targets of the frame decoders, the receive drain, the data
# file and the history file (clang, libFuzzer, ASan, UBSan) and runs each for the given seconds
# (default 60) on a copy of its seed corpus in fuzz/corpus. Fails on any finding; the inputs that caused it stay in
# build-fuzz/fuzz-run/<target>/findings/.
#   tools/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
tools/install_deps.sh --fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERRIVAN_GUI=OFF -DMERRIVAN_TESTS=OFF -DMERRIVAN_FUZZ=ON
cmake --build build-fuzz -j"$(nproc)" --target fuzz_decoder_9600 fuzz_decoder_legacy \
  fuzz_data_file fuzz_frame_drain fuzz_history_db

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in fuzz_decoder_9600 fuzz_decoder_legacy fuzz_data_file fuzz_frame_drain fuzz_history_db; do
  run=build-fuzz/fuzz-run/$target
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/findings"
  cp fuzz/corpus/"$target"/* "$run/corpus/"
  echo "== $target: ${seconds} s"
  # A frame is at most 256 bytes; inputs hold several. Data files hold lines
  # of up to 358 bytes; inputs hold a header and a few dozen records.
  max_len=1024
  [ "$target" != fuzz_data_file ] || max_len=8192
  # A history of a few frames is a handful of 4 KB pages.
  [ "$target" != fuzz_history_db ] || max_len=65536
  if ! "build-fuzz/fuzz/$target" "$run/corpus" -max_total_time="$seconds" -max_len="$max_len" \
      -timeout=10 -artifact_prefix="$run/findings/" -print_final_stats=1 2>"$run/log"; then
    status=1
  fi
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|Done )' "$run/log" || true
  if [ -n "$(ls -A "$run/findings")" ]; then
    echo "$target: finding(s) in $run/findings (log: $run/log)" >&2
    tail -40 "$run/log" >&2
    status=1
  fi
done
exit $status
