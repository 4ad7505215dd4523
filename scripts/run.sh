#!/usr/bin/env bash
# Installs what is missing, cross-builds quorlane.exe and opens it under Wine
# on a bundled example (examples/rainbow, or the folder given as $1).
# With no $DISPLAY it runs on a virtual display instead, saves a screenshot
# of the window to build/screenshot.png, prints its path and closes again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
example=${1:-examples/rainbow}

bash scripts/deps.sh

cmake --preset mingw >/dev/null
cmake --build --preset mingw
exe="$root/build/mingw/quorlane.exe"

# No Mono or Gecko installer dialogs when Wine makes its prefix the first time.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
cd "$example"

if [ -n "${DISPLAY:-}" ]; then
  echo "Running $exe in $(pwd)"
  exec wine "$exe"
fi

# Headless: tools/winsession.py runs the program in a Wine desktop (so that Wine
# draws the window frame) on a private virtual display, waits for its first
# paint, saves a screenshot of the window, closes it and stops everything again.
shot=$(python3 "$root/tools/winsession.py" shot "$exe" . "$root/build/screenshot.png")
echo "Screenshot of the viewer: $shot"
