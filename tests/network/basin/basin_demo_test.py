#!/usr/bin/python3
"""The shipped Lower Colorado basin end to end, through scripts/basin-demo as a user runs it.

usage: basin_demo_test.py SOURCE_DIR BIN_DIR

The demo imports the basin, routes it warm from the model's flows at the first hour and
compares four gauges. Checked: exit status 0; the PNG written (a PNG image); the CSV holds
one row per gauge with finite figures; at the first hour every gauged reach's routed flow is
the model's own flow there (the warm start), to the bit; every gauge of the results has a
finite depth at every hour, and a finite velocity where its reach is a channel (a lake's
table has no area, so a lake reach has none).
"""
import csv
import math
import os
import subprocess
import sys
import tempfile

import netCDF4
import numpy as np

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
GAUGES = 4
MUSKINGUM_CUNGE = 4  # the network's first Muskingum-Cunge method code


def failures_of(out):
    failures = []
    png = os.path.join(out, "gauges.png")
    with open(png, "rb") as f:
        if f.read(len(PNG_SIGNATURE)) != PNG_SIGNATURE:
            failures.append("gauges.png is not a PNG image")
    with open(os.path.join(out, "gauges.csv"), newline="") as f:
        rows = list(csv.DictReader(f))
    if len(rows) != GAUGES:
        failures.append("gauges.csv holds %d rows, not %d" % (len(rows), GAUGES))
    for row in rows:
        for column, text in row.items():
            if column in ("station", "name", "observed_window_utc", "largest_difference_time_utc"):
                continue
            if not math.isfinite(float(text)):
                failures.append("gauges.csv: %s of %s is %s" % (column, row["station"], text))

    with netCDF4.Dataset(os.path.join(out, "network.nc")) as network:
        ids = network["reach_id"][:]
        gauges = netCDF4.chartostring(network["gages"][:])
        initial = network["initial_flow"][:]
        methods = network["method"][:]
    gauged = {int(r): float(q) for r, g, q in zip(ids, gauges, initial) if g.strip()}
    with netCDF4.Dataset(os.path.join(out, "results.nc")) as results:
        order = {int(r): i for i, r in enumerate(results["reach_id"][:])}
        columns = [order[r] for r in gauged]
        first = np.ma.filled(results["outflow"][0, :].astype(float), np.nan)[columns]
        for (reach, flow), routed in zip(gauged.items(), first):
            if routed != flow:
                failures.append("reach %d: %r m3/s at the first hour, the model's %r"
                                % (reach, routed, flow))
        channel = {int(r): int(m) >= MUSKINGUM_CUNGE for r, m in zip(ids, methods)}
        for k, reach in enumerate(int(r) for r in results["gauge_reach_id"][:]):
            if not np.array_equal(results["gauge_outflow"][:, k], results["outflow"][:, order[reach]]):
                failures.append("gauge on reach %d: gauge_outflow is not its reach's outflow" % reach)
            wanted = ("depth", "velocity") if channel[reach] else ("depth",)
            for name in wanted:
                series = np.ma.filled(results[name][:, order[reach]].astype(float), np.nan)
                if not np.all(np.isfinite(series)):
                    failures.append("gauge on reach %d: %s not finite at %d hours"
                                    % (reach, name, int(np.sum(~np.isfinite(series)))))
    return failures


def main(argv):
    source, bin_dir = argv[1], argv[2]
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run(["bash", os.path.join(source, "scripts", "basin-demo"),
                              "--bin", bin_dir, "--out", out], capture_output=True, text=True)
        sys.stdout.write(run.stdout)
        if run.returncode != 0:
            print("FAIL: scripts/basin-demo exited with %d\n%s" % (run.returncode, run.stderr))
            return 1
        failures = failures_of(out)
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
