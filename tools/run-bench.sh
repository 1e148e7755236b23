#!/usr/bin/env bash
# Runs every benchmark the build made, one after the other.
set -euo pipefail
BUILD=${1:-build}
shopt -s nullglob
for b in "$BUILD"/bench/bench_*; do
  [ -x "$b" ] && echo "== $(basename "$b")" && "$b"
done
