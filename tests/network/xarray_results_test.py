#!/usr/bin/python3
"""The results of tovalin-route as xarray reads them: the example network routed with its
depths, velocities and gauges. A reach selected by its id is its column of the outflows (read
by position with the netCDF4 module); a gauge selected by its id carries its reach's outflow;
depth and velocity are there where the reach's method has them (the eight-point outlet and
the lake: a depth; the outlet alone: a velocity; the Muskingum reach: neither). Exits 77
(skipped) where Debian's python3-xarray is not installed.

usage: xarray_results_test.py TOVALIN_ROUTE NCGEN EXAMPLES_DIR
"""
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import xarray as xr
    from netCDF4 import Dataset
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

ROUTE, NCGEN, EXAMPLES = sys.argv[1:4]
OUTLET, LAKE, MUSKINGUM = 1, 30, 20  # reach ids of the example

with tempfile.TemporaryDirectory(prefix="tovalin-xarray-") as work:
    files = {}
    for name in ("network", "forcing"):
        files[name] = os.path.join(work, name + ".nc")
        subprocess.run([NCGEN, "-4", "-o", files[name], os.path.join(EXAMPLES, name + ".cdl")],
                       check=True)
    out = os.path.join(work, "results.nc")
    subprocess.run([ROUTE, "--network", files["network"], "--forcing", files["forcing"],
                    "--output", out, "--variables", "outflow,depth,velocity", "--gauges",
                    "--quiet"], check=True)
    with Dataset(out) as raw:
        raw.set_auto_mask(False)
        ids = list(raw["reach_id"][:])
        flows = np.array(raw["outflow"][:])
    column = {reach: flows[:, ids.index(reach)] for reach in (OUTLET, LAKE, MUSKINGUM)}

    failures = []

    def check(what, holds):
        if not holds:
            failures.append(what)

    with xr.open_dataset(out) as results:
        check("time decoded from its units",
              results.time.values[0] == np.datetime64("2026-06-01T00:00"))
        for reach, q in column.items():
            check(f"outflow of reach {reach} selected by its id",
                  np.array_equal(results.outflow.sel(reach_id=reach).values, q))
        both = results.outflow.sel(reach_id=[OUTLET, LAKE]).values
        check("two reaches selected", np.array_equal(both[:, 1], column[LAKE]))
        gauges = results.gauge_outflow.swap_dims(gauge="gauge_id")
        check("a gauge selected by its id",
              np.array_equal(gauges.sel(gauge_id="EAST").values, column[MUSKINGUM]))
        check("the gauges' reaches",
              list(results.gauge_reach_id.values) == [OUTLET, 2, MUSKINGUM, LAKE])
        at = results.sel(reach_id=[OUTLET, LAKE, MUSKINGUM])
        depth, velocity = at.depth.values, at.velocity.values
        check("a depth at the outlet and the lake", np.all(depth[:, :2] > 0))
        check("a velocity at the outlet", np.all(velocity[:, 0] > 0))
        check("no velocity at the lake", np.all(np.isnan(velocity[:, 1])))
        check("neither for Muskingum", np.all(np.isnan(depth[:, 2]) & np.isnan(velocity[:, 2])))
        check("the depth at every gauge, by its reach id",
              results.depth.sel(reach_id=results.gauge_reach_id).shape == (72, 4))

for failure in failures:
    print("FAIL:", failure)
print(f"xarray reads the results: {len(failures)} failures")
sys.exit(1 if failures else 0)
