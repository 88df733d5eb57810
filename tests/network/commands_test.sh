#!/usr/bin/env bash
# tovalin-route and tovalin-network-gen as real processes: exit statuses, no progress bar
# when standard error is not a terminal, and the shipped example network.
set -u
route=$1 gen=$2 examples=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
expect() {  # expect STATUS DESCRIPTION COMMAND...
  local want=$1 what=$2
  shift 2
  "$@" >"$dir/stdout" 2>"$dir/stderr"
  local got=$?
  if [[ $got -ne $want ]]; then
    echo "FAIL: $what: exit $got, expected $want"; cat "$dir/stderr"; fail=1
  fi
}
expect 0 "generate" "$gen" --reaches 200 --steps 24 --seed 2 --methods mixed \
  --network "$dir/n.nc" --forcing "$dir/f.nc"
expect 0 "route" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --threads 2
grep -q "200 reaches x 24 times" "$dir/stdout" || { echo "FAIL: no summary"; fail=1; }
[[ -s "$dir/stderr" ]] && { echo "FAIL: output on stderr when not a terminal"; fail=1; }
expect 0 "quiet" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --quiet
[[ -s "$dir/stdout" ]] && { echo "FAIL: --quiet printed"; fail=1; }
expect 2 "bad option" "$route" --network "$dir/n.nc" --frocing "$dir/f.nc" --output "$dir/o.nc"
expect 2 "bad thread count" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --threads 0
expect 2 "unknown variable" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --variables outflow,stage
expect 2 "empty variable" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --variables depth,
expect 0 "depths and gauges" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --variables velocity,depth --gauges
expect 2 "bad block size" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --block-reaches 0
expect 2 "bad window" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --window 0
expect 2 "restarts without a path" "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/o.nc" --restart-every 2
expect 2 "generator without sizes" "$gen" --reaches x --network "$dir/a" --forcing "$dir/b"
expect 0 "other network" "$gen" --reaches 10 --steps 24 --seed 2 --methods mc-trapezoid \
  --network "$dir/n10.nc" --forcing "$dir/f10.nc"
expect 3 "forcing of another network" "$route" --network "$dir/n.nc" --forcing "$dir/f10.nc" --output "$dir/x.nc"
grep -q "forcing has 10 reaches" "$dir/stderr" || { echo "FAIL: refusal not explained"; fail=1; }
expect 4 "missing file" "$route" --network "$dir/none.nc" --forcing "$dir/f.nc" --output "$dir/x.nc"
if command -v ncgen >/dev/null && [[ -f "$examples/network.cdl" ]]; then
  ncgen -4 -o "$dir/example-network.nc" "$examples/network.cdl" &&
    ncgen -4 -o "$dir/example-forcing.nc" "$examples/forcing.cdl" || fail=1
  expect 0 "example" "$route" --network "$dir/example-network.nc" \
    --forcing "$dir/example-forcing.nc" --output "$dir/example-results.nc"
fi
exit $fail
