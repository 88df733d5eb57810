#!/usr/bin/env python3
"""Draws hydrographs of chosen reaches from a tovalin-route results file as an SVG chart.

Reads the file through `ncdump` (netcdf-bin), so it needs nothing beyond Python's standard
library:  plot_hydrographs.py RESULTS.nc OUT.svg REACH_ID[=LABEL] ...
"""
import re
import subprocess
import sys

UNDEFINED = -9.9e37
COLOURS = ["#1f3b73", "#c0392b", "#27864a", "#8e44ad", "#d68910", "#17808a", "#555555"]
WIDTH, HEIGHT = 900, 520
LEFT, RIGHT, TOP, BOTTOM = 70, 190, 40, 50


def read_variables(path, names):
    text = subprocess.run(["ncdump", "-v", ",".join(names), path], check=True,
                          capture_output=True, text=True).stdout
    data = text.split("data:", 1)[1]
    values = {}
    for name in names:
        match = re.search(r"\b%s\s*=\s*(.*?);" % re.escape(name), data, re.S)
        values[name] = [float(v) for v in re.findall(r"[-+0-9.eE]+", match.group(1))]
    units = re.search(r'time:units = "([^"]*)"', text)
    return values, units.group(1) if units else "minutes"


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    results, output = argv[1], argv[2]
    wanted = [(int(a.split("=")[0]), a.split("=", 1)[1] if "=" in a else "reach " + a)
              for a in argv[3:]]
    values, units = read_variables(results, ["time", "reach_id", "outflow"])
    times, ids, flows = values["time"], [int(v) for v in values["reach_id"]], values["outflow"]
    reaches = len(ids)
    hours = [(t - times[0]) / 60.0 for t in times]
    series = []
    for reach_id, label in wanted:
        j = ids.index(reach_id)
        q = [flows[t * reaches + j] for t in range(len(times))]
        series.append((label, [v if v > UNDEFINED else None for v in q]))
    top = max(v for _, q in series for v in q if v is not None) * 1.1 or 1.0
    plot_w, plot_h = WIDTH - LEFT - RIGHT, HEIGHT - TOP - BOTTOM
    x = lambda h: LEFT + plot_w * h / (hours[-1] or 1.0)
    y = lambda v: TOP + plot_h * (1.0 - v / top)
    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="DejaVu Sans, sans-serif" font-size="12">' % (WIDTH, HEIGHT),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="22" font-size="15">Outflow at the outlet and the main junctions</text>' % LEFT]
    for k in range(6):
        v = top * k / 5
        svg.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>' % (LEFT, LEFT + plot_w, y(v), y(v)))
        svg.append('<text x="%d" y="%.1f" text-anchor="end">%.0f</text>' % (LEFT - 6, y(v) + 4, v))
    step = max(1, int(hours[-1] / 12))
    for h in range(0, int(hours[-1]) + 1, step):
        svg.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>' % (x(h), TOP + plot_h + 18, h))
    svg.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="black"/>' % (LEFT, TOP, plot_w, plot_h))
    svg.append('<text x="%d" y="%d" text-anchor="middle">hours (%s)</text>' % (LEFT + plot_w / 2, HEIGHT - 10, units))
    svg.append('<text transform="translate(18,%d) rotate(-90)" text-anchor="middle">outflow (m³/s)</text>' % (TOP + plot_h / 2))
    for i, (label, q) in enumerate(series):
        colour = COLOURS[i % len(COLOURS)]
        points = " ".join("%.1f,%.1f" % (x(h), y(v)) for h, v in zip(hours, q) if v is not None)
        svg.append('<polyline fill="none" stroke="%s" stroke-width="2" points="%s"/>' % (colour, points))
        ly = TOP + 10 + 20 * i
        svg.append('<line x1="%d" x2="%d" y1="%d" y2="%d" stroke="%s" stroke-width="3"/>' % (WIDTH - RIGHT + 12, WIDTH - RIGHT + 36, ly, ly, colour))
        svg.append('<text x="%d" y="%d">%s</text>' % (WIDTH - RIGHT + 42, ly + 4, label))
    svg.append("</svg>")
    with open(output, "w") as f:
        f.write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main(sys.argv)
