#!/usr/bin/env bash
# The shared national water model basin end to end: imported with its lakes, warm from the
# model's own flows at the first hour, and routed from them (exit 0, no reach failed): every
# reach, channel and lake, hands on the model's flow at the first hour as its outflow there,
# to the bit. Its model state file, whose link count is not the RouteLink's, is refused with
# both counts and nothing written.
# usage: shared_basin_test.sh TOVALIN_IMPORT TOVALIN_ROUTE BASIN_DIR
set -euo pipefail
import=$1 route=$2 basin=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
forcing=("$basin"/channel_forcing/*.CHRTOUT_DOMAIN1)
common=(nwm --routelink "$basin/domain/RouteLink.nc" --lakeparm "$basin/domain/LAKEPARM.nc"
        --chrtout "${forcing[@]}" --out-network "$work/network.nc" --out-forcing "$work/forcing.nc")

"$import" "${common[@]}" --initial-state "${forcing[0]}" > "$work/import.txt"
grep -q "11248 links -> 10907 reaches" "$work/import.txt"
grep -q "30 lakes by modified Puls" "$work/import.txt"
"$route" --network "$work/network.nc" --forcing "$work/forcing.nc" --output "$work/results.nc" \
  > "$work/route.txt"
grep -q "10907 reaches x 28 times on .*, 0 failed, 0 below a failure" "$work/route.txt"
/usr/bin/python3 - "$work/network.nc" "$work/results.nc" <<'CHECK'
import sys
import numpy as np
from netCDF4 import Dataset
with Dataset(sys.argv[1]) as n, Dataset(sys.argv[2]) as r:
    n.set_auto_mask(False), r.set_auto_mask(False)
    initial = dict(zip(n["reach_id"][:].tolist(), n["initial_flow"][:].tolist()))
    first = r["outflow"][0, :]
    ids = r["reach_id"][:].tolist()
    differ = [i for i, q in zip(ids, first) if q != initial[i]]
    if len(ids) != 10907 or differ:
        sys.exit(f"{len(differ)} reaches do not start at their initial flow: {differ[:10]}")
CHECK

rm -f "$work/network.nc" "$work/forcing.nc"
status=0
"$import" "${common[@]}" --initial-state "$basin"/restart/HYDRO_RST.* 2> "$work/refusal.txt" ||
  status=$?
[[ $status -eq 3 ]] || { echo "expected exit status 3, got $status"; exit 1; }
grep -q "holds 11141 links, the RouteLink 11248" "$work/refusal.txt"
[[ ! -e "$work/network.nc" && ! -e "$work/forcing.nc" ]]
echo "shared basin: imported, routed warm; its state file refused"
