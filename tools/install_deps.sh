#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# and makes the decimal-comma locale that the locale test runs under.
# With --fuzz it also installs clang and its libFuzzer runtime; with --windows
# the MinGW-w64 cross compiler, wine and GoogleTest's sources (Debian has no
# GoogleTest built for MinGW) for tools/test_windows.sh.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libqcustomplot-dev libgl-dev
  libgtest-dev libbenchmark-dev
  libsqlite3-dev
  libmosquitto-dev nlohmann-json3-dev mosquitto
  fonts-dejavu-core locales
)
for option in "$@"; do
  case "$option" in
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    --windows) packages+=(g++-mingw-w64-x86-64 wine wine64 googletest) ;;
    *) echo "usage: $0 [--fuzz] [--windows]" >&2; exit 2 ;;
  esac
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
