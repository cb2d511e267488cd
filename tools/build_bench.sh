#!/usr/bin/env bash
# Builds, without running them, the benchmarks and the probes in Release with
# the README's commands, so that those commands cannot stop building unseen.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DMERRIVAN_BENCH=ON -DMERRIVAN_TESTS=OFF
cmake --build build-bench -j"$(nproc)" \
  --target merrivan_bench merrivan_startup_probe merrivan_receive_latency_probe \
  merrivan_history_bench merrivan_mqtt_bench merrivan_trend_probe
