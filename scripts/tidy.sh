#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over all portable code, using
# the native build's compile commands, and over the Windows code, using the
# MinGW build's (configure the presets first; the Windows part is skipped
# without build/mingw).
#   scripts/tidy.sh [NATIVE_BUILD [MINGW_BUILD]]
set -euo pipefail
cd "$(dirname "$0")/.."
db=${1:-build/native}
windb=${2:-build/mingw}
[ -f "$db/compile_commands.json" ] || { echo "tidy: no $db/compile_commands.json" >&2; exit 2; }
quiet() { grep -v "warnings generated" >&2; }
ls src/common/*.cpp src/data/*.cpp src/render/*.cpp src/exporter/options/*.cpp src/png_writer/*.cpp \
  src/viewer/rules/*.cpp src/probe/*.cpp tools/render.cpp tools/probe.cpp |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$db" --quiet 2> >(quiet)
echo "clang-tidy: the core is clean"

[ -f "$windb/compile_commands.json" ] || { echo "clang-tidy: no $windb, the Windows code not checked"; exit 0; }
# clang reads the MinGW build's commands as a MinGW target with the cross
# compiler's C++ headers (its own intrinsics headers, not GCC's).
cross=$(grep -o '"command": "[^ ]*' "$windb/compile_commands.json" | head -1 | cut -d'"' -f4)
extra=(--extra-arg=--target=x86_64-w64-mingw32)
while read -r dir; do
  dir=$(realpath -m "$dir")
  case "$dir" in */lib/gcc/*/include | */lib/gcc/*/include-fixed) continue ;; esac
  extra+=("--extra-arg=-isystem$dir")
done < <(echo | "$cross" -E -x c++ - -v 2>&1 | sed -n '/<...> search starts here/,/End of search/p' | grep '^ /')
# Win32 hands pointers over in integers (window data, message parameters,
# handles), so the check against such casts is left out there.
ls src/win/*.cpp src/gdi/*.cpp src/viewer/*.cpp src/exporter/*.cpp |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$windb" --quiet --checks=-performance-no-int-to-ptr \
    "${extra[@]}" 2> >(quiet)
echo "clang-tidy: the Windows code is clean"
