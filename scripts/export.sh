#!/usr/bin/env bash
# Writes the viewer's picture of each input to an image file with
# quorlane-export.exe under Wine: bash scripts/export.sh [options] PATH...
# (the options of quorlane-export; --help lists them). Paths are taken from
# the folder you run it in. Installs what is missing and cross-builds the
# program first when needed, like scripts/run.sh, and runs it in the same
# Wine prefix, build/wineprefix (a $WINEPREFIX of your own is used as it is).
# It needs no display. Build and install messages go to standard error, so
# that standard output holds only the program's own lines.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/deps.sh" >&2

(cd "$root" && cmake --preset mingw >/dev/null && cmake --build --preset mingw --target quorlane-export) >&2
exe="$root/build/mingw/quorlane-export.exe"

# No Mono or Gecko installer dialogs when Wine makes its prefix the first time.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
if [ -z "${WINEPREFIX:-}" ]; then
  PYTHONPATH="$root/tools${PYTHONPATH:+:$PYTHONPATH}" python3 -B -m winsession prefix \
    "$root/build/wineprefix" >&2
  export WINEPREFIX="$root/build/wineprefix" WINEARCH=win64
fi

export LC_ALL=C.UTF-8  # Wine reads the paths as UTF-8
exec wine "$exe" "$@"
