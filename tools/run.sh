#!/usr/bin/env bash
# Builds Merrivan and starts it from the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERRIVAN_TESTS=OFF
cmake --build build -j"$(nproc)" --target merrivan
cd build
exec ./merrivan
