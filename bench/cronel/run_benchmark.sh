#!/usr/bin/env bash
# Throughput of cronel -q against one write(2) per line into a file.
# Usage: run_benchmark.sh CRONEL BASELINE [LINES]   (LINES defaults to 1000000)
# Pipes LINES lines of 80 characters through each, three runs, best rate reported.
set -euo pipefail
cronel=$1
baseline=$2
lines=${3:-1000000}
runs=3
line_length=80

work=$(mktemp -d /tmp/cronel-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
yes "$(head -c "$line_length" /dev/zero | tr '\0' 'x')" | head -n "$lines" > "$work/input" || true

# Prints lines per second of the best of $runs runs of the command given.
best_rate() {
  local best=0
  for _ in $(seq "$runs"); do
    rm -f "$work"/out*
    local start end rate
    start=$(date +%s%N)
    "$@" < "$work/input" > /dev/null
    end=$(date +%s%N)
    rate=$(( lines * 1000000000 / (end - start) ))
    (( rate > best )) && best=$rate
  done
  echo "$best"
}

cronel_rate=$(best_rate "$cronel" -q -n -o "$work/out")
logged=$(wc -l < "$work/out")
[[ $logged -eq $((lines + 1)) ]] || { echo "cronel logged $logged lines, expected $((lines + 1))" >&2; exit 1; }
baseline_rate=$(best_rate "$baseline" "$work/out")

echo "lines: $lines of $line_length characters"
echo "baseline (one write per line): $baseline_rate lines/s"
echo "cronel -q:                     $cronel_rate lines/s"
echo "ratio: $(( cronel_rate * 100 / baseline_rate ))%"
