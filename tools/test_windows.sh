#!/usr/bin/env bash
# Cross-compiles the Qt-free core and its tests for 64-bit Windows with
# MinGW-w64 (statically linked, GoogleTest built from Debian's sources by the
# same compiler) into build-windows/, and runs the tests under wine, headless.
# Fails when a test fails. Tests that only POSIX systems can run are skipped
# there, each with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh --windows
dir=build-windows

# wine in a prefix of its own, without a display, and without asking to
# install Mono or Gecko, which no test needs.
export WINEPREFIX="$PWD/$dir/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$dir"
# Always booted here, not by the first test: wine's services started inside
# ctest would hold its output open, and ctest would wait for them to its
# time-out (seen when the prefix was left from an earlier run).
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
"$wine64" wineboot --init
# One wine server for the whole run rather than one started for each test;
# it ends by itself a few seconds after the last test.
wineserver -p 5 2>/dev/null || true  # one is running already

cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERRIVAN_GUI=OFF -DMERRIVAN_TESTS=ON
cmake --build "$dir" -j"$(nproc)" --target tests_core
# The whole log only when something failed; else GoogleTest's and ctest's
# closing summaries.
status=0
ctest --test-dir "$dir" --output-on-failure --verbose --timeout 300 >"$dir/ctest.log" 2>&1 ||
  status=$?
if [ "$status" -ne 0 ]; then
  cat "$dir/ctest.log"
else
  grep -E '\[  (PASSED|SKIPPED) +\]|tests ran' "$dir/ctest.log" | grep -v '^.*\[  SKIPPED \] [A-Z]' || true
  sed -n '/tests passed/,$p' "$dir/ctest.log"
fi
exit "$status"
