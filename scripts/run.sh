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

# Headless: a private virtual display, the program in a Wine desktop (so that
# Wine draws the window frame), a screenshot, then everything stopped.
shot="$root/build/screenshot.png"
xvfb_pid=""
wine_pid=""
cleanup() {
  if [ -n "$wine_pid" ]; then kill "$wine_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# Let Xvfb pick a free display and tell us its number.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
display=""
read -r -t 15 display <"$fifo" || true
rm -f "$fifo"
if [ -z "$display" ]; then echo "Xvfb did not start" >&2; exit 1; fi
export DISPLAY=":$display"

wine explorer /desktop=Quorlane,1024x768 "$exe" &
wine_pid=$!

# Wait (at most 120 s: the first run also creates the Wine prefix) for the window.
win=""
for _ in $(seq 1 600); do
  win=$(xdotool search --onlyvisible --name '^Quorlane$' 2>/dev/null | head -n 1 || true)
  [ -n "$win" ] && break
  if ! kill -0 "$wine_pid" 2>/dev/null; then echo "the program ended without a window" >&2; exit 1; fi
  sleep 0.2
done
if [ -z "$win" ]; then echo "no window appeared" >&2; exit 1; fi
sleep 1  # let the first paint finish
import -window "$win" "$shot"
echo "Screenshot of the viewer: $shot"

# Close the window as a user would and wait for the program to end.
xdotool windowfocus "$win" 2>/dev/null || true
xdotool key alt+F4
for _ in $(seq 1 100); do
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
