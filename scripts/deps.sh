#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, but only
# those that are missing. Works as root or through sudo.
#   --native-only  the native build alone (no cross compiler, Wine, fuzzing)
#   --peers        also the readers bench/peers.py compares with (pandas, numpy) and
#                  the plotting library bench/movie_peers.py compares movies with;
#                  nothing else needs them
# Beside the packages: the Windows build of ffmpeg that the movie tests run under
# Wine, unpacked from its npm package into build/ffmpeg-win (for the tests only,
# never part of the release).
set -euo pipefail

need=()
want() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' || need+=("$1"); }

# native core, unit tests, benchmarks, and the checks of tidiness and formatting
for p in build-essential cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev libfast-float-dev zlib1g-dev clang-tidy clang-format black; do want "$p"; done
if [ "${1:-}" = "--peers" ]; then
  for p in python3-pandas python3-numpy python3-matplotlib; do want "$p"; done
fi
if [ "${1:-}" != "--native-only" ]; then
  # Windows program: cross compiler and resource compiler, Wine, virtual display, window tools
  for p in g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64 fonts-wine xvfb xdotool x11-utils imagemagick python3; do want "$p"; done
  # movies: Debian's ffmpeg for the Linux path and for reading movies back; npm for the Windows one
  want ffmpeg
  command -v npm >/dev/null || want npm
  # fuzzing and sanitizers
  for p in clang libclang-rt-14-dev; do want "$p"; done
fi

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo_=""
  [ "$(id -u)" -eq 0 ] || sudo_="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_ apt-get update -qq
  $sudo_ apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The Windows ffmpeg of the movie tests, once.
if [ "${1:-}" != "--native-only" ]; then
  win_ffmpeg="$(cd "$(dirname "$0")/.." && pwd)/build/ffmpeg-win"
  if [ ! -f "$win_ffmpeg/ffmpeg.exe" ]; then
    echo "Fetching the Windows ffmpeg of the movie tests into $win_ffmpeg"
    mkdir -p "$win_ffmpeg"
    (cd "$win_ffmpeg" && npm pack --silent @ffmpeg-installer/win32-x64 >/dev/null &&
      tar xzf ffmpeg-installer-win32-x64-*.tgz package/ffmpeg.exe &&
      mv package/ffmpeg.exe . && rmdir package && rm -f ffmpeg-installer-win32-x64-*.tgz)
  fi
fi
