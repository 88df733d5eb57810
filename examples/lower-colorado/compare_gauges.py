#!/usr/bin/python3
"""Compares tovalin-route's flow at the basin's gauges with the observed and the model's flow.

usage: /usr/bin/python3 compare_gauges.py --results RESULTS.nc [--network NETWORK.nc]
           --chrtout FILE... --observations discharge.csv --png FIGURE.png --csv TABLE.csv
           [--gauges STATION[=NAME],...]

Draws one PNG of the gauges (observed discharge, the national water model's own `streamflow`
from its CHRTOUT files, and tovalin-route's flow), prints a table of peak, volume and the
difference to the model's flow per gauge, and writes the table as CSV.

- A gauge's flow is the results' `gauge_outflow` where they hold it (tovalin-route --gauges),
  on the reach `gauge_reach_id` names; otherwise the `outflow` of the reach whose `gages`
  names the gauge in the network (then --network is needed). The model's flow is that of the
  link with the reach's id (`feature_id`). The CSV adds the reach's largest depth and
  velocity over the run where the results hold them (--variables outflow,depth,velocity).
- Peaks and volumes of the two routed flows are over the whole run, volumes trapezoidal on its
  hourly times; the observations (15-minute) end before the run does, so their peak and volume
  are over the part of the run they cover, which the table names; a value graded 0 in quality
  is left out.
- The difference to the model is tovalin-route's figure minus the model's, in m3/s or m3 and
  relative to the model's figure, and the hourly difference of the largest magnitude.

Needs Debian's python3-netcdf4 and python3-matplotlib (scripts/setup installs both).
Exit status 0, or 1 with a message when a file lacks a gauge, a time or a value it needs.
"""
import argparse
import csv
import datetime
import math
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.dates as mdates  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
import netCDF4  # noqa: E402
import numpy as np  # noqa: E402

# The four gauges of the demo, upstream to downstream (why these: docs/import.md).
DEFAULT_GAUGES = [
    ("08151500", "Llano River at Llano"),
    ("08147000", "Colorado River near San Saba"),
    ("08158000", "Colorado River at Austin"),
    ("08162000", "Colorado River at Wharton"),
]
SECONDS_PER_MINUTE = 60.0
COLOURS = {"observed": "#222222", "model": "#1f77b4", "tovalin": "#d62728"}
UTC = datetime.timezone.utc


class InputError(Exception):
    pass


def parse_gauges(text):
    if not text:
        return DEFAULT_GAUGES
    gauges = []
    for item in text.split(","):
        station, _, name = item.partition("=")
        gauges.append((station.strip(), name.strip() or "gauge " + station.strip()))
    return gauges


def instants(variable):
    """A netCDF time variable as UTC datetimes."""
    values = netCDF4.num2date(variable[:], variable.units,
                              getattr(variable, "calendar", "standard"),
                              only_use_cftime_datetimes=False,
                              only_use_python_datetimes=True)
    return [datetime.datetime(v.year, v.month, v.day, v.hour, v.minute, v.second, tzinfo=UTC)
            for v in np.atleast_1d(values)]


def gauge_reaches(network_path):
    """Station id -> reach id, from the network's gages."""
    if not network_path:
        raise InputError("the results hold no gauge_outflow: name the network (--network)")
    with netCDF4.Dataset(network_path) as network:
        if "gages" not in network.variables:
            raise InputError("%s holds no gages" % network_path)
        ids = network["reach_id"][:]
        texts = netCDF4.chartostring(network["gages"][:])
    return {t.strip(): int(r) for t, r in zip(texts, ids) if t.strip()}


def texts_of(variable):
    """A netCDF string variable, or a character array, as stripped texts."""
    values = variable[:]
    if variable.dtype == np.dtype("S1"):
        values = netCDF4.chartostring(values)
    return [str(v).strip() for v in np.atleast_1d(values)]


def column_of(results, reach, name):
    """One reach's series of a (time, reach) variable, NaN where undefined."""
    ids = np.asarray(results["reach_id"][:])
    column = np.flatnonzero(ids == reach)
    if column.size == 0:
        raise InputError("%s holds no reach %d" % (results.filepath(), reach))
    return np.ma.filled(results[name][:, int(column[0])].astype(float), np.nan)


def routed_at_gauges(results_path, stations, network_path):
    """The run's times and, per station, its reach and tovalin-route's series there: the
    results' gauge_outflow where they hold it (tovalin-route --gauges), else the outflow of
    the reach whose gages names it in the network; depth and velocity where the results hold
    them (--variables), else NaN."""
    with netCDF4.Dataset(results_path) as results:
        times = instants(results["time"])
        if "gauge_outflow" in results.variables:
            names = texts_of(results["gauge_id"])
            reaches = [int(r) for r in results["gauge_reach_id"][:]]
            missing = [s for s in stations if s not in names]
        else:
            by_station = gauge_reaches(network_path)
            missing = [s for s in stations if s not in by_station]
        if missing:
            raise InputError("no reach is named for the gauge %s" % ", ".join(missing))
        routed = {}
        for station in stations:
            if "gauge_outflow" in results.variables:
                k = names.index(station)
                reach = reaches[k]
                flow = np.ma.filled(results["gauge_outflow"][:, k].astype(float), np.nan)
            else:
                reach = by_station[station]
                flow = column_of(results, reach, "outflow")
            series = {"reach": reach, "flow": flow}
            for name in ("depth", "velocity"):
                series[name] = (column_of(results, reach, name) if name in results.variables
                                else np.full(len(times), np.nan))
            routed[station] = series
    return times, routed


def model_flows(chrtout_paths, reach_ids):
    """The model's streamflow per link, by time (a file's time from its own time variable)."""
    by_time = {}
    for path in chrtout_paths:
        with netCDF4.Dataset(path) as f:
            time = instants(f["time"])[0]
            features = np.asarray(f["feature_id"][:])
            streamflow = np.ma.filled(f["streamflow"][:].astype(float), np.nan)
            row = {}
            for reach in reach_ids:
                position = np.flatnonzero(features == reach)
                if position.size == 0:
                    raise InputError("%s holds no feature_id %d" % (path, reach))
                row[reach] = float(streamflow[int(position[0])])
            by_time[time] = row
    return by_time


def observations(csv_path, stations):
    """Station -> (times, discharge), NaN where a slice had none or graded it 0 (unusable)."""
    series = {s: ([], []) for s in stations}
    with open(csv_path, newline="") as f:
        for row in csv.DictReader(f):
            if row["station"] not in series:
                continue
            time = datetime.datetime.strptime(row["time_utc"], "%Y-%m-%dT%H:%M:%SZ")
            usable = row["discharge_m3s"] and float(row["quality_percent"]) > 0.0
            value = float(row["discharge_m3s"]) if usable else math.nan
            series[row["station"]][0].append(time.replace(tzinfo=UTC))
            series[row["station"]][1].append(value)
    return {s: (t, np.array(q)) for s, (t, q) in series.items()}


def peak_and_volume(times, flows):
    """Peak (m3/s) over the defined values, and the volume (m3) trapezoidal on the times, an
    interval with an undefined end adding nothing (as tovalin-route sums its volumes); NaN
    for both when no value is defined."""
    defined = [q for q in flows if np.isfinite(q)]
    if not defined:
        return math.nan, math.nan
    volume = 0.0
    for t0, t1, q0, q1 in zip(times, times[1:], flows, flows[1:]):
        if np.isfinite(q0) and np.isfinite(q1):
            volume += 0.5 * (q0 + q1) * (t1 - t0).total_seconds()
    return max(defined), volume


def relative(difference, reference):
    return difference / reference if reference else math.nan


def largest_defined(values):
    defined = values[np.isfinite(values)]
    return float(defined.max()) if defined.size else math.nan


def largest_difference(times, ours, model):
    """The hourly difference ours - model of the largest magnitude (m3/s), and its time."""
    differences = [(abs(a - b), a - b, t) for t, a, b in zip(times, ours, model)
                   if np.isfinite(a) and np.isfinite(b)]
    if not differences:
        return math.nan, None
    _, difference, time = max(differences, key=lambda d: d[0])
    return difference, time


def compare(args):
    gauges = parse_gauges(args.gauges)
    times, routed = routed_at_gauges(args.results, [s for s, _ in gauges], args.network)
    reach_ids = [routed[s]["reach"] for s, _ in gauges]
    model_by_time = model_flows(args.chrtout, reach_ids)
    absent = [t for t in times if t not in model_by_time]
    if absent:
        raise InputError("no CHRTOUT file for %s" % absent[0].strftime("%Y-%m-%d %H:%M UTC"))
    observed = observations(args.observations, [s for s, _ in gauges])
    start, end = times[0], times[-1]

    rows = []
    for (station, name), reach in zip(gauges, reach_ids):
        model = np.array([model_by_time[t][reach] for t in times])
        ours = routed[station]["flow"]
        obs_times, obs_flows = observed[station]
        inside = [i for i, t in enumerate(obs_times) if start <= t <= end]
        obs_times = [obs_times[i] for i in inside]
        obs_flows = obs_flows[inside] if inside else np.array([])
        obs_peak, obs_volume = peak_and_volume(obs_times, obs_flows)
        model_peak, model_volume = peak_and_volume(times, model)
        our_peak, our_volume = peak_and_volume(times, ours)
        largest, largest_time = largest_difference(times, ours, model)
        window = ("%s-%s" % (obs_times[0].strftime("%H:%M"), obs_times[-1].strftime("%H:%M"))
                  if obs_times else "none")
        rows.append({
            "station": station, "name": name, "reach_id": reach,
            "observed_window_utc": window,
            "observed_peak_m3s": obs_peak, "observed_volume_m3": obs_volume,
            "model_peak_m3s": model_peak, "model_volume_m3": model_volume,
            "tovalin_peak_m3s": our_peak, "tovalin_volume_m3": our_volume,
            "peak_difference_m3s": our_peak - model_peak,
            "peak_difference_relative": relative(our_peak - model_peak, model_peak),
            "volume_difference_m3": our_volume - model_volume,
            "volume_difference_relative": relative(our_volume - model_volume, model_volume),
            "tovalin_depth_max_m": largest_defined(routed[station]["depth"]),
            "tovalin_velocity_max_ms": largest_defined(routed[station]["velocity"]),
            "largest_difference_m3s": largest,
            "largest_difference_time_utc": (largest_time.strftime("%Y-%m-%dT%H:%MZ")
                                            if largest_time else ""),
            "series": (times, model, ours, obs_times, obs_flows),
        })
    return rows, start, end


def print_table(rows, start, end):
    print("Peak (m3/s) and volume (1000 m3) from %s to %s UTC; the observations over the hours"
          " they cover" % (start.strftime("%Y-%m-%d %H:%M"), end.strftime("%Y-%m-%d %H:%M")))
    line = "%-8s  %-28s  %-11s  %7s %8s  %7s %8s  %7s %8s  %7s %7s %7s %8s"
    groups = [("observed", 16), ("model", 16), ("tovalin-route", 16),
              ("tovalin-route - model", 32)]
    print(" " * 53 + "  ".join(name.center(width, "-") for name, width in groups))
    print(line % ("Gauge", "", "Hours", "peak", "volume", "peak", "volume", "peak", "volume",
                  "peak", "peak", "volume", "largest"))
    figures = "%-8s  %-28s  %-11s" + "  %7.2f %8.1f" * 3 + "  %7.2f %6.1f%% %6.1f%% %8.2f"
    for r in rows:
        print(figures
              % (r["station"], r["name"][:28], r["observed_window_utc"],
                 r["observed_peak_m3s"], r["observed_volume_m3"] / 1e3,
                 r["model_peak_m3s"], r["model_volume_m3"] / 1e3,
                 r["tovalin_peak_m3s"], r["tovalin_volume_m3"] / 1e3,
                 r["peak_difference_m3s"], 100.0 * r["peak_difference_relative"],
                 100.0 * r["volume_difference_relative"], r["largest_difference_m3s"]))
    print("tovalin-route - model: the peak in m3/s and relative to the model's, the volume "
          "relative to the model's,\nand the hourly difference of the largest magnitude (m3/s)")


def write_csv(rows, path):
    columns = [k for k in rows[0] if k != "series"]
    with open(path, "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(columns)
        for r in rows:
            writer.writerow([r[c] if isinstance(r[c], str) else repr(r[c]) for c in columns])


def draw(rows, start, end, path):
    columns = 2
    lines = (len(rows) + columns - 1) // columns
    figure, axes = plt.subplots(lines, columns, figsize=(13, 4.2 * lines), squeeze=False,
                                sharex=True)
    for axis in axes.flat[len(rows):]:
        axis.set_visible(False)
    for axis, r in zip(axes.flat, rows):
        times, model, ours, obs_times, obs_flows = r["series"]
        if obs_times:
            axis.plot(obs_times, obs_flows, color=COLOURS["observed"], linewidth=1.6,
                      label="observed (USGS, 15 min)")
        axis.plot(times, model, color=COLOURS["model"], linewidth=2.0, linestyle="--",
                  marker="o", markersize=3, label="national water model's streamflow")
        axis.plot(times, ours, color=COLOURS["tovalin"], linewidth=2.0,
                  label="tovalin-route's outflow")
        axis.set_title("%s (%s), reach %d" % (r["name"], r["station"], r["reach_id"]),
                       fontsize=11)
        axis.set_ylabel("flow (m³/s)")
        axis.set_ylim(bottom=0.0)
        axis.grid(True, color="#dddddd")
        axis.set_xlim(start, end)
        axis.xaxis.set_major_locator(mdates.HourLocator(byhour=range(0, 24, 6), tz=UTC))
        axis.xaxis.set_major_formatter(mdates.DateFormatter("%d %b\n%H:%M", tz=UTC))
    handles, labels = axes.flat[0].get_legend_handles_labels()
    figure.legend(handles, labels, loc="upper center", ncol=3, frameon=False, fontsize=11,
                  bbox_to_anchor=(0.5, 0.955))
    figure.suptitle("Lower Colorado basin, %s to %s UTC: tovalin-route from the model's flows "
                    "at the first hour" % (start.strftime("%d %b %H:%M"),
                                           end.strftime("%d %b %H:%M")), fontsize=13)
    figure.supxlabel("time (UTC)", fontsize=11)
    figure.tight_layout(rect=(0, 0, 1, 0.92))
    figure.savefig(path, dpi=100)
    plt.close(figure)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--network", default="")
    parser.add_argument("--results", required=True)
    parser.add_argument("--chrtout", required=True, nargs="+")
    parser.add_argument("--observations", required=True)
    parser.add_argument("--png", required=True)
    parser.add_argument("--csv", required=True)
    parser.add_argument("--gauges", default="")
    args = parser.parse_args(argv[1:])
    try:
        rows, start, end = compare(args)
    except (InputError, OSError, KeyError) as error:
        print("compare_gauges: %s" % error, file=sys.stderr)
        return 1
    print_table(rows, start, end)
    write_csv(rows, args.csv)
    draw(rows, start, end, args.png)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
