#!/usr/bin/env bash
# 100 batch runs of n = 30 values per sample in a shell loop, collecting one
# csv file: the time a script spends on many small comparisons.
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
awk 'BEGIN { srand(1); for (i = 0; i < 30; i++) print 10 + 3 * rand() }' > x.txt
awk 'BEGIN { srand(2); for (i = 0; i < 30; i++) print 11 + 3 * rand() }' > y.txt
start=$EPOCHREALTIME
for i in $(seq 1 100); do
  "$program" -u -f csv x.txt y.txt > "run$i.csv"
done
end=$EPOCHREALTIME
awk -v s="$start" -v e="$end" 'BEGIN { printf "BM_batch_loop/100_runs_n30: %.3f s\n", e - s }'
