#!/usr/bin/env bash
# Installs what is missing, cross-builds quorlane.exe and opens it under Wine:
#   bash scripts/run.sh                       examples/rainbow, as the program opens its
#                                             working directory without an argument;
#   bash scripts/run.sh FOLDER|GRIDFILE ...   those paths, passed to the program as given
#                                             (relative to where the command was run);
#   bash scripts/run.sh --watch [PATH ...]    the same, the windows following their files;
#   bash scripts/run.sh --series PATH ...     one window for the steps of a run.
# With no $DISPLAY it runs on a virtual display instead, saves a screenshot
# of the (first) window to build/screenshot.png, prints its path and closes again.
# Wine runs in the prefix build/wineprefix, made on the first run with Wine's
# own fonts linked in (the caption buttons' symbols, the system and dialog
# fonts); a $WINEPREFIX of your own is used as it is instead.
set -euo pipefail
caller=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)
# tools/winsession, run as a module: the prefix and the headless screenshot.
winsession() { PYTHONPATH="$root/tools${PYTHONPATH:+:$PYTHONPATH}" python3 -B -m winsession "$@"; }

bash scripts/deps.sh

cmake --preset mingw >/dev/null
cmake --build --preset mingw
exe="$root/build/mingw/quorlane.exe"

# No Mono or Gecko installer dialogs when Wine makes its prefix the first time.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
own_prefix=()
if [ -z "${WINEPREFIX:-}" ]; then
  winsession prefix build/wineprefix
  export WINEPREFIX="$root/build/wineprefix" WINEARCH=win64
  own_prefix=(--prefix "$WINEPREFIX")
fi
paths=0
for a in "$@"; do [ "$a" = --watch ] || paths=$((paths + 1)); done
if [ $paths -eq 0 ]; then
  cd examples/rainbow
else
  cd "$caller"
  export LC_ALL=C.UTF-8  # Wine reads the paths as UTF-8
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "Running $exe in $(pwd)"
  exec wine "$exe" "$@"
fi

# Headless: tools/winsession runs the program in a Wine desktop (so that Wine
# draws the window frame) on a private virtual display, waits for its first
# paint, saves a screenshot of the window, closes it and stops everything again.
shot=$(winsession shot "${own_prefix[@]}" "$exe" . "$root/build/screenshot.png" -- "$@")
echo "Screenshot of the viewer: $shot"
