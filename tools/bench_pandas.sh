#!/usr/bin/env bash
# Times our data file reading against a well-known parser on the same file:
# runs the data file benchmarks of merrivan_bench (which leave a full
# 16000 x 10 file behind), then pandas read_csv(sep=r"\s+") on that file, and
# prints the times and the ratios. Installs Debian's python3-pandas first when
# it is missing.
#   tools/bench_pandas.sh [build-dir]      (default: build-bench, configured
#                                          with -DMERRIVAN_BENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
bench=$build/bench/merrivan_bench

# Debian's pandas belongs to Debian's Python, whatever python3 is first on PATH.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
if ! "$py" -c 'import pandas' 2>/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq python3-pandas >/dev/null
fi

if [ ! -x "$bench" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMERRIVAN_BENCH=ON -DMERRIVAN_TESTS=OFF
  cmake --build "$build" --target merrivan_bench
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MERRIVAN_BENCH_DIR=$work
QT_QPA_PLATFORM=offscreen "$bench" \
  --benchmark_filter='BM_(saveFullBuffer|readFullFile|retrieveFullFile)$' \
  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/ours.json" --benchmark_out_format=json

"$py" - "$work/merrivan-full.txt" "$work/ours.json" <<'EOF'
import json, statistics, sys, time
import pandas as pd

path, ours_json = sys.argv[1], sys.argv[2]
wall, cpu = [], []
for _ in range(7):
    t, c = time.perf_counter(), time.process_time()
    frame = pd.read_csv(path, sep=r"\s+")
    wall.append(time.perf_counter() - t)
    cpu.append(time.process_time() - c)
assert frame.shape == (16000, 23), frame.shape
pandas = {"real": statistics.median(wall) * 1000.0, "cpu": statistics.median(cpu) * 1000.0}

ours = {}
for b in json.load(open(ours_json))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        ours[b["run_name"]] = {"real": b["real_time"], "cpu": b["cpu_time"]}  # milliseconds
print()
print(f"{'median of 7 / 5 runs':34} {'real ms':>8} {'cpu ms':>8} {'pandas/ours real':>17} {'cpu':>6}")
label = "pandas " + pd.__version__ + " read_csv(sep=r'\\s+')"
print(f"{label:34} {pandas['real']:8.1f} {pandas['cpu']:8.1f}")
for name in ("BM_readFullFile", "BM_retrieveFullFile", "BM_saveFullBuffer"):
    o = ours[name]
    ratio = "" if name == "BM_saveFullBuffer" else \
        f"{pandas['real'] / o['real']:17.1f} {pandas['cpu'] / o['cpu']:6.1f}"
    print(f"{name:34} {o['real']:8.1f} {o['cpu']:8.1f} {ratio}")
EOF
