#!/usr/bin/python3
"""tovalin-route against hostile input: the example network and forcing changed one way at a
time (retyped to every numeric type, packed, other file formats and time units, variables
dropped, files truncated, links broken, NaN, infinities and extremes in every parameter and
flow (the initial flows and levels, reference flows and unrouted inflow too), table and
section starts and counts out of range, broken time axes, restarts that do not fit or state
their starts in 32 bits), each run as a real process.

Every run (asking for depths, velocities and gauges) must end by itself with a documented
exit status (0 to 4), never a signal or a sanitizer report; a run that exits 3 or 4 says why on standard error and leaves no results
file; a case that only restates a valid file gives exactly the original's outflows.

usage: hostile.py TOVALIN_ROUTE NCGEN EXAMPLES_DIR
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from netCDF4 import Dataset

ROUTE, NCGEN, EXAMPLES = sys.argv[1:4]
TIMEOUT = 120  # seconds; a run that takes longer has hung
DOCUMENTED = {0, 1, 2, 3, 4}
ASAN_EXIT, UBSAN_EXIT = 98, 99
SANITIZER_MARKS = ("Sanitizer", "runtime error:", "==ERROR", "LeakSanitizer")
INTEGER_TYPES = ["i1", "u1", "i2", "u2", "i4", "u4", "i8", "u8"]
NUMERIC_TYPES = INTEGER_TYPES + ["f4", "f8"]
IDS_AND_COUNTS = ["reach_id", "to_id", "method", "stepCount", "table_start", "table_count",
                  "section_start"]
EXTREMES = [np.nan, np.inf, -np.inf, 1e308, -1e308, 5e-324, 0.0, -1.0, 1e30]
MISSING_INTEGER = -2147483647
UNDEFINED = -9.99999968028569e+37

work = tempfile.mkdtemp(prefix="tovalin-hostile-")
failures = []
runs = 0


def path(name):
    return os.path.join(work, name)


def fill_of(dtype):
    """A fill value of an integer type: its largest value (smallest for signed 64 bit)."""
    info = np.iinfo(dtype)
    return info.min + 1 if dtype.kind == "i" else info.max


def rewrite(src, dst, fmt="NETCDF4", drop=(), retype=None, change=None, attrs=None,
            delattrs=None):
    """Copies src into dst: variables dropped, retyped (values the new type cannot hold, and
    the engine's missing integer, become its fill value), changed by a function of the raw
    values, attributes set or removed."""
    retype, change, attrs, delattrs = retype or {}, change or {}, attrs or {}, delattrs or {}
    with Dataset(src) as s, Dataset(dst, "w", format=fmt) as d:
        s.set_auto_maskandscale(False)
        for name, dim in s.dimensions.items():
            d.createDimension(name, None if dim.isunlimited() else len(dim))
        d.setncatts({k: s.getncattr(k) for k in s.ncattrs()})
        for name, v in s.variables.items():
            if name in drop:
                continue
            data = np.array(v[:])
            a = {k: v.getncattr(k) for k in v.ncattrs()}
            dtype = np.dtype(retype.get(name, v.dtype)) if v.dtype != "S1" else v.dtype
            fill = a.pop("_FillValue", None)
            if dtype != v.dtype:
                data, fill, a = convert(data, v.dtype, dtype, fill, a)
            if name in change:
                data = change[name](data)
                dtype = data.dtype if v.dtype != "S1" else v.dtype
            a.update(attrs.get(name, {}))
            for k in delattrs.get(name, ()):
                a.pop(k, None)
                if k == "_FillValue":
                    fill = None
            if "_FillValue" in a:
                fill = a.pop("_FillValue")
            nv = d.createVariable(name, dtype, v.dimensions, fill_value=fill)
            nv.set_auto_maskandscale(False)
            nv.setncatts(a)
            nv[:] = data


def add(src, dst, variables):
    """Copies src into dst with variables added or, where src holds them already, replaced:
    {name: (dimensions, values)}, the engine's undefined value declared as their fill value."""
    rewrite(src, dst)
    with Dataset(dst, "a") as d:
        for name, (dims, values) in variables.items():
            if name in d.variables:
                v = d[name]
            else:
                v = d.createVariable(name, "f8", dims, fill_value=UNDEFINED)
            v.set_auto_maskandscale(False)
            v[:] = values


def convert(data, old, new, fill, a):
    """Data of type old as type new, with its markers."""
    a = dict(a)
    markers = [m for m in (fill, a.get("missing_value")) if m is not None]
    missing = np.zeros(data.shape, bool)
    for m in markers:
        missing |= data == np.asarray(m).astype(old)
    if old.kind in "iu":
        missing |= data == MISSING_INTEGER
    if new.kind in "iu":
        info = np.iinfo(new)
        with np.errstate(invalid="ignore"):
            bad = missing | ~np.isfinite(data.astype("f8")) | (data.astype("f8") < info.min) | \
                (data.astype("f8") > info.max) | (data.astype("f8") != np.round(data.astype("f8")))
        fill = np.array(fill_of(new), new)
        values = data.astype("f8")
        values[bad] = 0
        out = values.astype(new)
        out[bad] = fill
        a.pop("missing_value", None)
        return out, fill, a
    fill = np.array(-9.99999968028569e+37, new)
    out = data.astype(new)
    out[missing] = fill
    a.pop("missing_value", None)
    return out, fill, a


def results(name):
    with Dataset(path(name)) as d:
        d.set_auto_maskandscale(False)
        return np.array(d["reach_id"][:]), np.array(d["outflow"][:], "f8")


def run(what, network, forcing, expect=None, same_as=None, restart_in=None, restart_out=None):
    """Runs tovalin-route; checks how it ended. expect: the exit statuses allowed (documented
    ones when None); same_as: outflows the run must give exactly."""
    global runs
    runs += 1
    out = path("out.nc")
    if os.path.exists(out):
        os.remove(out)
    command = [ROUTE, "--network", network, "--forcing", forcing, "--output", out,
               "--threads", "2", "--variables", "outflow,depth,velocity", "--gauges", "--quiet"]
    if restart_in:
        command += ["--restart-in", restart_in]
    if restart_out:
        command += ["--restart-out", restart_out]
    env = dict(os.environ, ASAN_OPTIONS=f"exitcode={ASAN_EXIT}:detect_leaks=1",
               UBSAN_OPTIONS=f"exitcode={UBSAN_EXIT}:print_stacktrace=1")
    try:
        p = subprocess.run(command, capture_output=True, text=True, timeout=TIMEOUT, env=env)
    except subprocess.TimeoutExpired:
        failures.append(f"{what}: did not end within {TIMEOUT} s")
        return None
    status, err = p.returncode, p.stderr
    problem = None
    if status < 0:
        problem = f"ended by signal {-status}"
    elif any(m in err for m in SANITIZER_MARKS) or status in (ASAN_EXIT, UBSAN_EXIT):
        problem = "sanitizer report"
    elif status not in DOCUMENTED:
        problem = f"undocumented exit status {status}"
    elif expect is not None and status not in expect:
        problem = f"exit status {status}, expected {sorted(expect)}"
    elif status in (3, 4) and "tovalin-route:" not in err:
        problem = f"exit status {status} without a reason on standard error"
    elif status in (3, 4) and os.path.exists(out):
        problem = f"exit status {status} left a results file"
    elif same_as is not None:
        if status != 0:
            problem = f"exit status {status} for a file that restates a valid one"
        else:
            ids, q = results("out.nc")
            if not (np.array_equal(ids, same_as[0]) and
                    np.array_equal(q.view("u8"), same_as[1].view("u8"))):
                problem = "outflows differ from the original's"
    if problem:
        failures.append(f"{what}: {problem}\n    {err.strip()[:2000]}")
    return status


def main():
    network, forcing = path("network.nc"), path("forcing.nc")
    for name, target in (("network", network), ("forcing", forcing)):
        subprocess.run([NCGEN, "-4", "-o", target, os.path.join(EXAMPLES, name + ".cdl")],
                       check=True)
    if run("the example as shipped", network, forcing, expect={0}) != 0:
        return
    original = results("out.nc")
    n, f = path("n.nc"), path("f.nc")

    # Restatements: every numeric type of the ids and counts, the parameters in the types
    # that hold their values, other formats, ids beyond 2^31.
    for var in IDS_AND_COUNTS:
        for t in NUMERIC_TYPES:
            rewrite(network, n, retype={var: t})
            run(f"{var} as {t}", n, forcing, same_as=original)
    with Dataset(network) as d:
        reals = [v for v in d.variables if d[v].dtype == "f8"]
    for var in reals:
        for t in NUMERIC_TYPES:
            rewrite(network, n, retype={var: t})
            with Dataset(network) as a, Dataset(n) as b:
                a.set_auto_maskandscale(False), b.set_auto_maskandscale(False)
                x, y = np.array(a[var][:]), np.array(b[var][:]).astype("f8")
                used = x != -9.99999968028569e+37
                exact = np.array_equal(x[used], y[used])
            run(f"{var} as {t}", n, forcing, same_as=original if exact else None)
    for fmt in ("NETCDF3_CLASSIC", "NETCDF3_64BIT_OFFSET", "NETCDF3_64BIT_DATA", "NETCDF4_CLASSIC"):
        rewrite(network, n, fmt=fmt)
        rewrite(forcing, f, fmt=fmt)
        run(f"network and forcing as {fmt}", n, f, same_as=original)
    shift = 2 ** 40
    ids_up = {"reach_id": lambda x: x.astype("i8") + shift,
              "to_id": lambda x: np.where(x == 0, 0, x.astype("i8") + shift)}
    rewrite(network, n, change=ids_up)
    rewrite(forcing, f, change={"reach_id": ids_up["reach_id"],
                                "boundary_reach_id": ids_up["reach_id"]})
    ids, q = original
    run("ids beyond 2^40", n, f, same_as=(ids + shift, q))

    # The flows on a grid of 1/64 m3/s, then packed on that grid (as the national models
    # pack theirs), and time axes in other units, epochs, types and calendars.
    grid = path("grid.nc")
    on_grid = lambda x: np.round(x * 64) / 64
    rewrite(forcing, grid, change={"lateral_inflow": on_grid, "boundary_inflow": on_grid})
    run("forcing on the grid", network, grid, expect={0})
    gridded = results("out.nc")
    for t, scale, offset in (("i2", 1 / 64, 0.0), ("i4", 1 / 64, 2.0), ("u2", 1 / 128, -1.0),
                             ("i8", 1 / 64, 0.0), ("f4", 1.0, 0.0)):
        for var in ("lateral_inflow", "boundary_inflow"):
            rounded = np.dtype(t).kind in "iu"
            pack = lambda x, t=t, s=scale, o=offset, r=rounded: \
                (np.round((x - o) / s) if r else (x - o) / s).astype(t)
            rewrite(grid, f, change={var: pack},
                    attrs={var: {"scale_factor": np.float32(scale), "add_offset": np.float32(offset)}},
                    delattrs={var: ("_FillValue", "missing_value")})
            run(f"{var} packed as {t} by {scale} + {offset}", network, f, same_as=gridded)
    minutes = lambda x: x
    for units, calendar, to, t in (
            ("hours since 2026-06-01 00:00:00", "standard", lambda m: m / 60, "f8"),
            ("seconds since 2026-06-01T00:00:00Z", "gregorian", lambda m: m * 60, "i8"),
            ("days since 2026-05-31 00:00", "proleptic_gregorian", lambda m: (m + 1440) / 1440, "f8"),
            ("minutes since 2026-06-01T02:00:00+02:00", "standard", minutes, "i4"),
            ("hours since 2026-05-31 12:00:00 UTC", "standard", lambda m: m / 60 + 12, "f4"),
            ("Minutes Since 2026-6-1", "standard", minutes, "u2")):
        rewrite(forcing, f, change={"time": lambda x, to=to, t=t: to(x).astype(t)},
                attrs={"time": {"units": units, "calendar": calendar}})
        run(f"time in {units} ({calendar}, {t})", network, f, same_as=original)

    # Refused before routing (exit 3): values that cannot be taken, broken links, bad
    # parameters, tables and sections out of range, broken time axes.
    def set_at(index, value, dtype="f8"):
        def f(x):
            y = x.astype(dtype)
            y[index] = value
            return y
        return f
    refused = [
        ("reach_id with a fraction", {"reach_id": set_at(3, 2.5)}),
        ("to_id beyond the id range", {"to_id": set_at(3, 1e19)}),
        ("to_id as a huge unsigned id", {"to_id": set_at(3, 2 ** 64 - 1, "u8")}),
        ("reach_id NaN", {"reach_id": set_at(0, np.nan)}),
        ("stepCount with a fraction", {"stepCount": set_at(6, 1.5)}),
        ("a cycle", {"to_id": set_at(0, 6)}),
        ("an unknown to_id", {"to_id": set_at(4, 999)}),
        ("a self loop", {"to_id": set_at(4, 5)}),
        ("a duplicate id", {"reach_id": set_at(1, 1)}),
        ("a negative id", {"reach_id": set_at(2, -3)}),
        ("a zero id", {"reach_id": set_at(2, 0)}),
        ("method 0", {"method": set_at(0, 0)}),
        ("method 2^40", {"method": set_at(0, 2 ** 40, "i8")}),
    ]
    for name in ("table_start", "table_count", "section_start"):
        for value in (-5, 2 ** 31 - 1, 2 ** 62, 13, 100):
            refused.append((f"{name} = {value}", {name: set_at(12 if "table" in name else 1,
                                                               value, "i8")}))
    for what, change in refused:
        rewrite(network, n, change=change)
        run(what, n, forcing, expect={3})
    # Every parameter, every extreme, at every reach: refused, or routed with a status.
    for var in reals:
        for value in EXTREMES:
            rewrite(network, n, change={var: lambda x, v=value: np.full_like(x, v)})
            run(f"{var} = {value}", n, forcing)
    with Dataset(network) as d:
        table = [v for v in d.variables if d[v].dimensions in (("table_point",), ("section_point",))]
    for var in table:
        for value in EXTREMES:
            rewrite(network, n, change={var: set_at(3, value)})
            run(f"{var}[3] = {value}", n, forcing)
    for var in ("lateral_inflow", "boundary_inflow"):
        for value in EXTREMES:
            rewrite(forcing, f, change={var: set_at((5, 0), value)})
            run(f"{var} at time 5 = {value}", network, f)
            rewrite(forcing, f, change={var: lambda x, v=value: np.full_like(x, v)})
            run(f"{var} all {value}", network, f)
    axis = [
        ("time not uniform", lambda x: np.where(np.arange(x.size) == 5, x + 1, x)),
        ("time decreasing", lambda x: x[::-1].copy()),
        ("time repeated", lambda x: np.where(np.arange(x.size) == 5, x - 60, x)),
        ("time off the minute", lambda x: x + 0.5),
        ("time NaN", set_at(3, np.nan)),
        ("time infinite", set_at(3, np.inf)),
        ("time huge", lambda x: x + 1e300),
        ("time interval of 10^12 minutes", lambda x: x * 1.7e10),
    ]
    for what, change in axis:
        rewrite(forcing, f, change={"time": change})
        run(what, network, f, expect={3})
    for units, calendar in (("months since 2026-06-01", "standard"),
                            ("minutes after 2026-06-01", "standard"),
                            ("minutes since 2026-13-01", "standard"),
                            ("minutes since 2026-06-01", "noleap"),
                            ("minutes since 2026-06-01", "360_day"),
                            ("", "standard"),
                            ("minutes since 1582-10-10", "standard")):
        rewrite(forcing, f, attrs={"time": {"units": units, "calendar": calendar}})
        run(f"time units '{units}' ({calendar})", network, f, expect={3})
    rewrite(forcing, f, change={"reach_id": set_at(2, 2.5)})
    run("forcing reach_id with a fraction", network, f, expect={3})
    rewrite(forcing, f, change={"boundary_reach_id": set_at(0, 999)})
    run("boundary of an unknown reach", network, f, expect={3})

    # The start from initial flows and levels, the reference flows and the unrouted inflow:
    # every extreme in each, at every reach (refused, or routed with a status).
    with Dataset(network) as d:
        methods = np.array(d["method"][:])
        start = np.array(d["table_start"][:])
        elevations = np.array(d["elevationTable"][:])
    puls = (methods == 2) | (methods == 3)
    levels = np.where(puls, elevations[np.maximum(start, 0) + 1], UNDEFINED)
    started = {"initial_flow": (("reach",), np.full(methods.size, 1.0)),
               "initial_level": (("reach",), levels),
               "referenceFlow": (("reach",), np.where(methods >= 4, 5.0, UNDEFINED))}
    warm = path("warm.nc")
    add(network, warm, started)
    run("started from initial flows and levels", warm, forcing, expect={0})
    for var in started:
        for value in EXTREMES:
            rewrite(warm, n, change={var: lambda x, v=value: np.full_like(x, v)})
            run(f"{var} = {value}", n, forcing)
    with Dataset(forcing) as d:
        times = len(d.dimensions["time"])
    for value in [1.5] + EXTREMES:
        add(forcing, f, {"unrouted_inflow": (("time",), np.full(times, value))})
        run(f"unrouted_inflow = {value}", network, f,
            same_as=original if np.isfinite(value) and abs(value) <= 1e8 else None)

    # Unreadable files (exit 4): required variables dropped, variables on other dimensions,
    # packing attributes that are not one number, files cut short or not netCDF at all.
    for var in ("reach_id", "to_id", "method"):
        rewrite(network, n, drop={var})
        run(f"network without {var}", n, forcing, expect={4})
    for var in ("time", "reach_id", "lateral_inflow", "boundary_inflow"):
        rewrite(forcing, f, drop={var})
        run(f"forcing without {var}", network, f, expect={4})
    for var in ("muskingumK", "stepCount", "table_start", "section_start", "storageTable",
                "stations", "sectionShape", "reachLength"):
        rewrite(network, n, drop={var})
        run(f"network without {var}", n, forcing, expect={3})
    rewrite(forcing, f, attrs={"lateral_inflow": {"scale_factor": np.array([1.0, 2.0])}})
    run("lateral_inflow with two scale factors", network, f, expect={4})
    rewrite(forcing, f, attrs={"lateral_inflow": {"add_offset": "one"}})
    run("lateral_inflow with a text offset", network, f, expect={4})
    for src, dst, which in ((network, n, "network"), (forcing, f, "forcing")):
        size = os.path.getsize(src)
        for cut in (0, 8, 100, size // 2, size - 1):
            with open(src, "rb") as a, open(dst, "wb") as b:
                b.write(a.read(cut))
            args = (dst, forcing) if which == "network" else (network, dst)
            run(f"{which} cut to {cut} bytes", *args, expect={4})
        with open(dst, "w") as b:
            b.write("reach_id,to_id\n1,0\n")
        args = (dst, forcing) if which == "network" else (network, dst)
        run(f"{which} as text", *args, expect={4})

    # Restarts: the engine's own continues; one at another time, another interval, cut short,
    # or with states outside its array, is refused.
    restart = path("restart.nc")
    run("restart written", network, forcing, expect={0}, restart_out=restart)
    with Dataset(forcing) as d:
        last = float(d["time"][-1])
    second = path("second.nc")
    rewrite(forcing, second, change={"time": lambda x: x + last})
    run("restart continued", network, second, expect={0, 1}, restart_in=restart)
    continued = results("out.nc")
    r = path("r.nc")
    rewrite(restart, r, retype={"state_start": "i4"})
    run("restart with 32-bit state starts", network, second, expect={0, 1}, restart_in=r)
    if not np.array_equal(results("out.nc")[1].view("u8"), continued[1].view("u8")):
        failures.append("restart with 32-bit state starts: outflows differ from the 64-bit one's")
    run("restart at another time", network, forcing, expect={3}, restart_in=restart)
    rewrite(restart, r, change={"interval": lambda x: x * 2})
    run("restart of another interval", network, second, expect={3}, restart_in=r)
    rewrite(restart, r, change={"time": lambda x: x + 0.5})
    run("restart off the minute", network, second, expect={3}, restart_in=r)
    rewrite(restart, r, change={"state_start": set_at(3, 10 ** 6, "i4")})
    run("restart states outside", network, second, expect={4}, restart_in=r)
    rewrite(restart, r, change={"reach_id": set_at(3, 0.5)})
    run("restart id with a fraction", network, second, expect={3}, restart_in=r)
    with open(restart, "rb") as a, open(r, "wb") as b:
        b.write(a.read(os.path.getsize(restart) // 2))
    run("restart cut short", network, second, expect={4}, restart_in=r)

    # A run that fails before it writes leaves an earlier results file as it was.
    out = path("out.nc")
    with open(out, "w") as b:
        b.write("an earlier results file\n")
    p = subprocess.run([ROUTE, "--network", path("none.nc"), "--forcing", forcing, "--output",
                        out, "--quiet"], capture_output=True, text=True, timeout=TIMEOUT)
    if p.returncode != 4 or not os.path.exists(out) or open(out).read() != "an earlier results file\n":
        failures.append(f"missing network: exit {p.returncode}, the earlier results file "
                        "not kept as it was")


main()
print(f"{runs} runs of tovalin-route, {len(failures)} failed")
for failure in failures:
    print("FAIL:", failure)
subprocess.run(["rm", "-rf", work])
sys.exit(1 if failures else 0)
