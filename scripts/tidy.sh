#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over all portable code, using
# the native build's compile commands (configure the native preset first).
set -euo pipefail
cd "$(dirname "$0")/.."
db=${1:-build/native}
[ -f "$db/compile_commands.json" ] || { echo "tidy: no $db/compile_commands.json" >&2; exit 2; }
ls src/common/*.cpp src/data/*.cpp src/render/*.cpp src/exporter/options/*.cpp src/png_writer/*.cpp \
  src/viewer/rules/*.cpp src/probe/*.cpp tools/render.cpp tools/probe.cpp |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$db" --quiet 2> >(grep -v "warnings generated" >&2)
echo "clang-tidy: the core is clean"
