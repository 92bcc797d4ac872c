#!/usr/bin/env bash
# Saves a PNG of every page and dialog of each program into build/screens/, for a person to
# look at: each program's screenshot driver (build/bin/<program>_screens) walks its wizard on
# the demo database under a virtual X server. Build first (cmake --build --preset default).
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/screens
# Only the fonts scripts/setup.sh installs, as the Qt tests see them: the pictures show what a
# fresh machine shows, whatever other fonts this one has.
fonts="$PWD/tests/fonts/fonts.conf"
mkdir -p "$out"
found=0
failed=""
# One driver that fails still leaves the other programs' pictures to look at.
for program in zorv vrell trune; do
  driver="build/bin/${program}_screens"
  [ -x "$driver" ] || continue
  found=1
  echo "screenshots: $program"
  xvfb-run -a -s "-screen 0 1280x1024x24" env QT_SCALE_FACTOR=1 FONTCONFIG_FILE="$fonts" "$driver" "$out" || failed="$failed $program"
done
if [ "$found" -eq 0 ]; then
  echo "screenshots: no driver in build/bin; build the programs first" >&2
  exit 1
fi
if [ -n "$failed" ]; then
  echo "screenshots: the driver failed for:$failed" >&2
  exit 1
fi
