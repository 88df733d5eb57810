#!/usr/bin/env bash
# The engine's speed on a real basin, in one command: for the national water model's Lower
# Colorado files it imports the basin warm from its first CHRTOUT (the import timed), in the
# final configuration (compound channels as eight-point sections) and on trapezoids only (the
# RouteLink without TopWdthCC and nCC), each with every link kept and with links merged below
# 100 m and 500 m, and runs bench_network_scale on each (tovalin-route on 1 and 2 threads,
# the fastest of --repeat runs, its subreach-steps, and the plain loop beside it); then how
# much each merge changes the flow at the gauges: the largest relative difference of
# gauge_outflow, |merged - all links| / all links, over the gauges and times where the flow
# of all links is at least 0.1 m3/s.
#   bench/network/real_basin.sh [BUILD_DIR] [DATA_DIR] [WORK_DIR] [REPEAT]
# Defaults: build, /work/shared/data/nwm-lower-colorado, bench-real-basin, 3. BUILD_DIR must be
# configured (cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo); the targets
# it needs are built. Needs ncdump and nccopy (netcdf-bin) and python3-netcdf4.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build} data=${2:-/work/shared/data/nwm-lower-colorado} work=${3:-bench-real-basin}
repeat=${4:-3}
cmake --build "$build" -j "${JOBS:-2}" --target tovalin-import bench_network_scale >/dev/null
mkdir -p "$work"
routelink=$data/domain/RouteLink.nc
first=$(ls "$data"/channel_forcing/*.CHRTOUT_DOMAIN1 | head -n 1)

# The RouteLink without its compound channel: every link a trapezoid.
keep=$(ncdump -h "$routelink" | sed -n 's/^\s*[a-z0-9]* \([A-Za-z_0-9]*\)(.*/\1/p' |
  grep -v -x -e TopWdthCC -e nCC | paste -s -d, -)
nccopy -V "$keep" "$routelink" "$work/RouteLink-trapezoids.nc"

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for shapes in eight-point trapezoids; do
  links=$routelink
  [ "$shapes" = trapezoids ] && links=$work/RouteLink-trapezoids.nc
  for merge in 0 100 500; do
    case=$work/$shapes-merge$merge
    mkdir -p "$case"
    args=()
    [ "$merge" != 0 ] && args=(--merge-shorter-than "$merge")
    echo "== $shapes, links merged below $merge m"
    start=$(date +%s.%N)
    "$build/bin/tovalin-import" nwm --routelink "$links" --lakeparm "$data/domain/LAKEPARM.nc" \
      --chrtout "$data"/channel_forcing/*.CHRTOUT_DOMAIN1 --initial-state "$first" \
      "${args[@]}" --out-network "$case/network.nc" --out-forcing "$case/forcing.nc" |
      grep -- "->"
    echo "import: $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s"
    "$build/bin/bench_network_scale" --network "$case/network.nc" --forcing "$case/forcing.nc" \
      --dir "$case" --threads 1,2 --repeat "$repeat" --gauges | grep -v "^network:"
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== Flow at the gauges, merged against every link kept"
/usr/bin/python3 - "$work" <<'EOF'
import sys
import numpy as np
from netCDF4 import Dataset

work = sys.argv[1]
SMALLEST = 0.1  # m3/s: flows below it are left out of the relative difference


def gauges(path):
    with Dataset(path) as d:
        return dict(zip(d["gauge_id"][:], np.asarray(d["gauge_outflow"][:]).T))


for shapes in ("eight-point", "trapezoids"):
    kept = gauges(f"{work}/{shapes}-merge0/results.nc")
    for merge in (100, 500):
        merged = gauges(f"{work}/{shapes}-merge{merge}/results.nc")
        worst, where = 0.0, None
        for gauge, q in kept.items():
            m = merged[gauge]
            big = q >= SMALLEST
            if big.any():
                r = np.max(np.abs(m[big] - q[big]) / q[big])
                if r > worst:
                    worst, where = r, gauge
        print(f"{shapes}, merged below {merge} m: {len(merged)} of {len(kept)} gauges, "
              f"largest relative difference {100 * worst:.2f} % (gauge {where})")
EOF
