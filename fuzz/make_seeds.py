#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: worked examples of each adapter encoded as the
targets read their input (see fuzz_support.h). Run from anywhere; writes fuzz/corpus/<target>/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
UNDEFINED = struct.unpack("<d", bytes.fromhex("C7D2CED320000000")[::-1])[0]


def count(n):
    """One byte: n + 2 (the targets read b mod (limit + 3) - 2)."""
    return bytes([n + 2])


def integer(v):
    return bytes([0]) + struct.pack("<i", v)


def real(v):
    return bytes([0]) + struct.pack("<d", v)


def reals(values):
    return b"".join(real(v) for v in values)


def text(s):
    return s.encode("ascii")


MUSKINGUM = [10, 20, 30, 20, 10]
HYDROGRAPH = [10, 12, 20, 35, 50, 62, 70, 66, 58, 48, 40, 33, 28, 24, 21, 19, 17, 16, 15, 14,
              13, 12, 11, 10]
STORAGE = [0, 1000, 3000, 7000, 14000, 25000, 40000, 60000]
OUTFLOW = [0, 5, 10, 20, 40, 70, 110, 160]
ELEVATION = [100, 100.5, 101, 101.6, 102.3, 103, 103.8, 104.7]
STATIONS = [0, 20, 40, 45, 55, 60, 80, 100]
ELEVATIONS = [105, 103, 102, 98, 98, 102, 103, 105]


def muskingum():
    yield "worked_example", (integer(60) + real(1.0) + real(0.2) + count(1) + count(5) +
                             count(80) + integer(0) + reals([10]) + reals(MUSKINGUM) +
                             bytes(80))
    yield "two_steps_unstable", (integer(60) + real(1.0) + real(0.2) + count(2) + count(5) +
                                 count(80) + integer(0) + reals([10, 10]) + reals(MUSKINGUM) +
                                 bytes(80))
    yield "no_steps", (integer(60) + real(1.0) + real(0.2) + count(0) + count(5) + count(80) +
                       integer(0) + reals(MUSKINGUM) + text("x" * 80))


def puls(loss):
    def head(steps, ordinates, width, pairs=len(STORAGE)):
        h = integer(60)
        if loss:
            h += real(101.0) + real(1e-5)
        return h + count(pairs) + count(steps) + count(ordinates) + count(width) + integer(0)

    tables = reals(STORAGE) + reals(OUTFLOW) + (reals(ELEVATION) if loss else b"")
    yield "flood", head(1, 24, 60) + tables + reals([10]) + reals(HYDROGRAPH) + bytes(60)
    yield "two_steps", head(2, 24, 80) + tables + reals([10, 10]) + reals(HYDROGRAPH) + bytes(80)
    big = [v * 10 for v in HYDROGRAPH]
    yield "above_table", head(1, 24, 120) + tables + reals([10]) + reals(big) + bytes(120)
    yield "undefined_inflow", (head(1, 5, 0) + tables + reals([10]) +
                               reals([10, 20, UNDEFINED, 20, 10]))


def cunge_common(m, n, initial, lateral):
    return reals(initial) + reals(HYDROGRAPH[:n]) + reals(lateral[:n])


def cunge8():
    def call(name, interval, length, slope, flag, initial, width):
        n = len(HYDROGRAPH)
        body = (integer(interval) + real(length) + real(slope) + integer(flag) +
                count(len(initial)) + count(n) + count(width) + integer(0) + reals(STATIONS) +
                reals(ELEVATIONS) + reals([0.06, 0.035, 0.06]) +
                cunge_common(len(initial), n, initial, [0.0] * n) + bytes(max(width, 0)))
        return name, body
    yield call("reach", 60, 5000.0, 0.001, 0, [10, 10, 10], 80)
    yield call("subreaches_from_profile", 60, 5000.0, 0.001, 1, [10, 11, 12, 13, 14], 80)
    yield call("short_reach", 15, 50.0, 0.002, 0, [10], 80)


def prism():
    def call(name, circle, width, sides, shape_length, initial):
        n = len(HYDROGRAPH)
        body = (integer(60) + real(5000.0) + real(0.001) + real(0.035) + real(width) +
                real(sides) + integer(0) + count(shape_length) + bytes([0 if circle else 1]) +
                count(len(initial)) + count(n) + count(60) + integer(0))
        if not circle:
            body += text("TRAPEZOID ")[:shape_length]
        body += cunge_common(len(initial), n, initial, [0.0] * n) + bytes(60)
        return name, body
    yield call("trapezoid", False, 10.0, 2.0, 10, [10, 10])
    yield call("rectangle", False, 20.0, 0.0, 10, [10])
    yield call("circle", True, 3.0, 0.0, 6, [5, 5, 5])
    yield call("circle_padded", True, 3.0, 0.0, 10, [5])


def depth_prism():
    yield "trapezoid", (real(0.001) + real(0.035) + real(10.0) + real(2.0) + real(50.0) +
                        real(1.0) + count(80) + integer(0) + bytes(80))
    yield "no_flow", (real(0.001) + real(0.035) + real(10.0) + real(2.0) + real(0.0) +
                      real(0.0) + count(20) + integer(0) + bytes(20))


def depth_8point():
    yield "section", (real(0.001) + real(50.0) + real(0.0) + count(80) + integer(0) +
                      reals(STATIONS) + reals(ELEVATIONS) + reals([0.06, 0.035, 0.06]) +
                      bytes(80))
    yield "overbank", (real(0.001) + real(2000.0) + real(3.0) + count(80) + integer(0) +
                       reals(STATIONS) + reals(ELEVATIONS) + reals([0.06, 0.035, 0.06]) +
                       bytes(80))


def depth_circle():
    yield "half_full", real(0.001) + real(0.013) + real(2.0) + real(2.0) + count(80) + integer(0) + bytes(80)
    yield "surcharged", real(0.001) + real(0.013) + real(1.0) + real(50.0) + count(80) + integer(0) + bytes(80)


def interpolate():
    yield "inside", (count(2) + count(3) + count(80) + integer(0) + reals([0, 10]) +
                     reals([0, 100]) + reals([2.5, 0, 10]) + bytes(80))
    yield "equal_x", (count(4) + count(1) + count(80) + integer(0) + reals([1, 2, 2, 3]) +
                      reals([10, 20, 25, 30]) + reals([2]) + bytes(80))
    yield "outside", (count(6) + count(3) + count(100) + integer(0) + reals([1, 2, 2, 3, 4, 5]) +
                      reals([10, 20, 25, 30, 40, 50]) + reals([-1, 2, 10.5]) + bytes(100))
    yield "no_values", count(1) + count(0) + count(40) + integer(0) + reals([1]) + reals([2]) + bytes(40)


def decode():
    yield "muskingum_invalid", integer(7268) + count(32) + bytes(32)
    yield "unknown", integer(-1) + count(10) + bytes(10)


def change_interval():
    yield "halve", real(60) + real(30) + count(3) + count(5) + reals([0, 10, 20])
    yield "double", real(30) + real(60) + count(5) + count(3) + reals([0, 5, 10, 15, 20])
    yield "undefined", real(1) + real(1) + count(3) + count(3) + reals([0, UNDEFINED, 2])


TARGETS = {
    "routemuskingum": muskingum,
    "routepulschannel": lambda: puls(False),
    "routepulschannelwithloss": lambda: puls(True),
    "routemuskingumcunge8point": cunge8,
    "routemuskingumcungeprism": prism,
    "channeldepthprism": depth_prism,
    "channeldepth8point": depth_8point,
    "channeldepthcircle": depth_circle,
    "interpolatelinear": interpolate,
    "decodeerrorcode": decode,
    "changetimeinterval": change_interval,
}

for target, seeds in TARGETS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
