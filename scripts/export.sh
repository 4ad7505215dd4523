#!/usr/bin/env bash
# Writes the viewer's picture of each input to an image file with
# quorlane-export.exe under Wine: bash scripts/export.sh [options] PATH...
# (the options of quorlane-export; --help lists them). Paths are taken from
# the folder you run it in. Installs what is missing and cross-builds the
# program first when needed, like scripts/run.sh, and runs it in the same
# Wine prefix, build/wineprefix (a $WINEPREFIX of your own is used as it is).
# It needs no display. Build and install messages go to standard error, so
# that standard output holds only the program's own lines.
#
# A movie (--out NAME.mp4 or NAME.webm) without --ffmpeg is made by Debian's
# ffmpeg: the program writes its pictures to standard output (--out -) and
# ffmpeg encodes them as the program would, into a temporary file in the
# movie's folder that is renamed into place when it has finished well.
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

# The options a movie made here takes from the command line; the rest go on.
given=("$@")
movie="" fps=25 quality="" overwrite="" named_ffmpeg="" rest=()
while [ $# -gt 0 ]; do
  case "$1" in
    --) rest+=("$@"); break ;;
    --out) movie="$2"; rest+=("$1" "$2"); shift ;;
    --out=*) movie="${1#--out=}"; rest+=("$1") ;;
    --fps) fps="$2"; shift ;;
    --fps=*) fps="${1#--fps=}" ;;
    --quality) quality="$2"; shift ;;
    --quality=*) quality="${1#--quality=}" ;;
    --ffmpeg|--ffmpeg=*) named_ffmpeg=1; rest+=("$1") ;;
    --overwrite) overwrite=1; rest+=("$1") ;;
    *) rest+=("$1") ;;
  esac
  shift
done
kind=$(printf '%s' "${movie##*.}" | tr '[:upper:]' '[:lower:]')
if [ -n "$named_ffmpeg" ] || { [ "$kind" != mp4 ] && [ "$kind" != webm ]; } || [ "$movie" = "${movie%.*}" ]; then
  # Not a movie made here: the program's own options, as given.
  exec wine "$exe" "${given[@]}"
fi

if [ -e "$movie" ] && [ -z "$overwrite" ]; then
  echo "quorlane-export: \"$movie\" exists (--overwrite replaces it)" >&2
  exit 1
fi
args=()
skip=""
for a in "${rest[@]}"; do
  if [ -n "$skip" ]; then skip=""; args+=("-"); continue; fi
  case "$a" in
    --out) skip=1; args+=("$a") ;;
    --out=*) args+=("--out=-") ;;
    --overwrite) ;;
    *) args+=("$a") ;;
  esac
done
if [ "$kind" = mp4 ]; then
  codec=(-c:v libx264 -preset veryfast -crf "${quality:-18}" -movflags +faststart -f mp4)
else
  codec=(-c:v libvpx-vp9 -crf "${quality:-28}" -b:v 0 -deadline good -cpu-used 4 -row-mt 1 -f webm)
fi
temporary="$(dirname "$movie")/~qx-$$.tmp"
trap 'rm -f "$temporary"' EXIT
set +e
wine "$exe" "${args[@]}" | ffmpeg -hide_banner -loglevel error -f image2pipe -c:v png \
  -framerate "$fps" -i - -an -vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2:color=0xC0C0C0' \
  "${codec[@]}" -pix_fmt yuv420p -y "$temporary"
status=("${PIPESTATUS[@]}")
set -e
if [ "${status[1]}" -ne 0 ]; then
  echo "quorlane-export: Cannot write \"$movie\": ffmpeg ended with status ${status[1]}" >&2
  exit 1
fi
if [ "${status[0]}" -gt 1 ]; then exit "${status[0]}"; fi
mv -f "$temporary" "$movie"
exit "${status[0]}"
