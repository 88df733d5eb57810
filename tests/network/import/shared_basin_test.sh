#!/usr/bin/env bash
# The shared national water model basin end to end: imported with its lakes, warm from the
# model's own flows at the first hour, and routed (exit 0); its model state file, whose link
# count is not the RouteLink's, refused with both counts and nothing written.
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
  --quiet

rm -f "$work/network.nc" "$work/forcing.nc"
status=0
"$import" "${common[@]}" --initial-state "$basin"/restart/HYDRO_RST.* 2> "$work/refusal.txt" ||
  status=$?
[[ $status -eq 3 ]] || { echo "expected exit status 3, got $status"; exit 1; }
grep -q "holds 11141 links, the RouteLink 11248" "$work/refusal.txt"
[[ ! -e "$work/network.nc" && ! -e "$work/forcing.nc" ]]
echo "shared basin: imported, routed warm; its state file refused"
