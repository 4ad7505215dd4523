#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# unit tests (native), clang-tidy over the portable and the Windows code and the formatting checks, the unit tests again on the core built without its SIMD
# kernels, the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows program's end-to-end tests under
# Wine on a virtual display, and a short smoke run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)

bash scripts/deps.sh

jobs=$(nproc)
step() { echo; echo "=== $* ==="; }

step "Windows program (MinGW-w64 cross-build) and its release bundle"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
cmake --build --preset mingw --target package

step "Native core, unit and end-to-end tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs" --timeout 600   # the unit tests (label unit)
ctest --preset e2e --timeout 600                  # the end-to-end tests under Wine (label e2e), one at a time

step "clang-tidy over the portable and the Windows code, and the formatting of C++ and Python"
bash scripts/tidy.sh build/native build/mingw
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
git ls-files '*.py' | xargs black --check --quiet
echo "formatting: clang-format and black find nothing to change"

step "Unit tests of the core without its SIMD kernels"
cmake --preset scalar >/dev/null
cmake --build --preset scalar -j "$jobs"
ctest --preset scalar -j "$jobs" --timeout 600

step "Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs" --timeout 600

if [ -f fuzz/CMakeLists.txt ]; then
  step "Fuzz smoke runs"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  ctest --preset fuzz -j "$jobs" --timeout 600
fi

echo
echo "All tests passed in $(( $(date +%s) - start )) s."
