#!/usr/bin/env bash
# Runs every benchmark the build made, one after the other, then prints one table of the
# comparisons they measured. A benchmark reports a comparison as a line
#   ratio: <measure> | <ours> | <floor> | <ours / floor> | <goal>
# with both figures taken in the same run.
set -euo pipefail
BUILD=${1:-build}
shopt -s nullglob
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for b in "$(realpath "$BUILD")"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  (cd "$BUILD" && "$b") | tee -a "$out"
done
echo
echo "== comparisons against their floors (one run)"
{
  echo "measure|ours|floor|ratio|goal"
  sed -n 's/^ratio: *//p' "$out" | sed 's/ *| */|/g'
} | awk -F'|' '
  { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } n = NR; f = NF }
  END { for (r = 1; r <= n; r++) { line = ""
          for (i = 1; i <= f; i++) line = line sprintf("%-" w[i] "s", cell[r, i]) (i < f ? " | " : "")
          print line } }'
