#!/usr/bin/env bash
# The native renderer with its grid's block 4, 8 and 12 MB below address-space limits: every run
# ends with status 1 and "Not enough memory for", or with status 0 and the picture; never aborts.
# usage: memory_limits.sh QUORLANE_RENDER
set -euo pipefail
render=$(realpath "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

printf '%s\n' -10 10 0 255 0 0 255 0 320 240 20 30 20 10 Depth 1 1 >quorlane.ini
# One grid file for every run: a header of fixed width, rewritten in place for each block, then
# one value line and blank lines enough for the largest grid (blank lines read as 0).
limits_mb=(8 10 12 14 16 20 24 32 48 64 96 128 160)
columns=1022  # rows of 4 × (1022 + 2) bytes: 4 KiB
max_cells=$((columns * (160 * 256)))
{ printf '%10d %10d 1 1\n0\n' 1 1; head -c "$max_cells" /dev/zero | tr '\0' '\n'; } >quorlane.dat

failures=0
printf '%8s %8s  %s\n' limit block outcome
for limit in "${limits_mb[@]}"; do
  for below in 4 8 12; do
    block=$((limit - below))
    [ "$block" -ge 1 ] || continue
    rows=$((block * 256 - 2))
    printf '%10d %10d' "$columns" "$rows" | dd of=quorlane.dat conv=notrunc status=none
    rm -f out.ppm
    status=0
    (ulimit -v $((limit * 1024)) && exec "$render" 16 16 out.ppm) >out.txt 2>err.txt || status=$?
    if [ "$status" -eq 1 ] && grep -q '^Not enough memory for "quorlane.dat"$' err.txt; then
      outcome="not enough memory"
    elif [ "$status" -eq 0 ] && [ "$(head -c 13 out.ppm | tr '\n' ' ')" = "P6 16 16 255 " ] &&
      [ "$(stat -c %s out.ppm)" -eq $((13 + 16 * 16 * 3)) ]; then
      outcome="picture"
    else
      outcome="FAILED: status $status, $(head -c 200 err.txt)"
      failures=$((failures + 1))
    fi
    printf '%5d MB %5d MB  %s\n' "$limit" "$block" "$outcome"
  done
done
exit $((failures > 0))
