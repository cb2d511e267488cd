#!/bin/sh
# Installs the build into a temporary prefix, checks that every file is where
# a Debian desktop looks for it, and starts the installed program (headless,
# through its test hook MERRIVAN_EXIT_AFTER_START) from a folder holding none
# of its files: it must find its help, logo and icon under the prefix.
# Usage: install_test.sh <build folder>
set -eu
. "$(dirname "$0")/../../tools/stored_port.sh"
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
for f in bin/merrivan \
         "share/merrivan/RS232 HELP.html" share/merrivan/NoLogo.jpg share/merrivan/merrivan.png \
         share/applications/org.merrivan.Merrivan.desktop \
         share/metainfo/org.merrivan.Merrivan.metainfo.xml \
         share/icons/hicolor/256x256/apps/merrivan.png \
         share/icons/hicolor/scalable/apps/merrivan.svg \
         lib/systemd/user/merrivan.service lib/systemd/user/merrivan@.service; do
  if [ ! -s "$prefix/$f" ]; then
    echo "missing after install: $f"
    fail=1
  fi
done
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.merrivan.Merrivan.metainfo.xml" \
    >/dev/null || { echo "AppStream metadata does not validate"; fail=1; }
fi

# Stored serial settings, so that start-up runs no port search; COM16 leads
# nowhere, and start-up goes on without a port.
mkdir "$tmp/work"
stored_port_ini "$tmp/no-such-device" > "$tmp/work/Merrivan.ini"
# The history goes to the data folder of its own here, never the user's.
out=$(cd "$tmp/work" && QT_QPA_PLATFORM=offscreen MERRIVAN_EXIT_AFTER_START=1 \
      XDG_DATA_HOME="$tmp/data" \
      timeout 30 "$prefix/bin/merrivan" 2>/dev/null) || { echo "installed program did not start and end"; fail=1; }
[ -s "$tmp/data/Merrivan/history.sqlite" ] || { echo "no history under XDG_DATA_HOME/Merrivan"; fail=1; }
for name in "RS232 HELP.html" NoLogo.jpg merrivan.png; do
  expected="$name: $prefix/share/merrivan/$name"
  printf '%s\n' "$out" | grep -qxF "$expected" || { echo "not found under the prefix: $name"; fail=1; }
done
[ "$fail" -eq 0 ] && echo "install tree complete; the installed program finds its files"
exit "$fail"
