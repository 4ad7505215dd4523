#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, but only
# those that are missing. Works as root or through sudo.
#   --native-only  the native build alone (no cross compiler, Wine, fuzzing)
#   --peers        also the readers bench/peers.py compares with (pandas, numpy);
#                  nothing else needs them
set -euo pipefail

need=()
want() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' || need+=("$1"); }

# native core, unit tests, benchmarks, and the checks of tidiness and formatting
for p in build-essential cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev libfast-float-dev zlib1g-dev clang-tidy clang-format black; do want "$p"; done
if [ "${1:-}" = "--peers" ]; then
  for p in python3-pandas python3-numpy; do want "$p"; done
fi
if [ "${1:-}" != "--native-only" ]; then
  # Windows program: cross compiler and resource compiler, Wine, virtual display, window tools
  for p in g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64 fonts-wine xvfb xdotool x11-utils imagemagick python3; do want "$p"; done
  # fuzzing and sanitizers
  for p in clang libclang-rt-14-dev; do want "$p"; done
fi

if [ ${#need[@]} -eq 0 ]; then exit 0; fi
echo "Installing: ${need[*]}"
sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo_ apt-get update -qq
$sudo_ apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
