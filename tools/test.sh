#!/usr/bin/env bash
# Builds Merrivan with its tests and runs them headless, in parallel.
# With --sanitize the build goes to build-asan with ASan, UBSan and leak
# detection; leaks inside system libraries are suppressed by tools/lsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh
dir=build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  extra=(-DMERRIVAN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERRIVAN_TESTS=ON "${extra[@]}"
cmake --build "$dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure --timeout 120 -j"$(nproc)"
