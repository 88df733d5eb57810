"""The routing functions of tovalin against the C++ API, run on, argued with and in threads."""
import dataclasses
import os
import struct
import subprocess
import sys
import threading
from pathlib import Path

import numpy as np
import pytest

import tovalin

UNDEFINED = tovalin.UNDEFINED


class Digest:
    """64-bit FNV-1a over little-endian bytes, field by field as python_api_digest does."""

    def __init__(self):
        self.value = 0xCBF29CE484222325

    def bytes(self, data):
        h = self.value
        for b in data:
            h = ((h ^ b) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
        self.value = h

    def integer(self, v):
        self.bytes(struct.pack("<q", int(v)))

    def real(self, v):
        self.bytes(struct.pack("<d", v))

    def reals(self, values):
        values = np.asarray(values, dtype="<f8")
        self.integer(values.size)
        self.bytes(values.tobytes())

    def text(self, s):
        data = s.encode("ascii")
        self.integer(len(data))
        self.bytes(data)

    def hex(self):
        return f"{self.value:016x}"


def result_digest(r):
    d = Digest()
    d.reals(r.outflows)
    d.integer(r.status.routine)
    d.integer(r.status.message_number)
    d.integer(r.status.severity)
    d.text(r.text)
    v = r.volume
    for x in (v.inflow, v.outflow, v.storage_start, v.storage_end, v.loss, v.balance_error,
              v.relative_error):
        d.real(x)
    if isinstance(r, tovalin.PulsResult):
        g = r.diagnostics
        d.integer(g.ordinates_outside_table)
        d.integer(-1 if g.first_outside_ordinate is None else g.first_outside_ordinate)
        d.integer(-1 if g.first_outside_step is None else g.first_outside_step)
        d.integer(g.failed_interpolations)
    if isinstance(r, tovalin.MuskingumCungeResult):
        for f in dataclasses.fields(r.diagnostics):
            value = getattr(r.diagnostics, f.name)
            d.real(value) if isinstance(value, float) else d.integer(value)
        if r.state is not None:
            s = r.state
            d.real(s.computation_interval)
            d.integer(s.subreach_count)
            d.reals(s.node_flows)
            d.reals(s.node_depths)
            d.real(s.last_inflow)
        else:
            d.reals(r.final_flows)
    else:
        s = r.state
        d.reals(s.outflows)
        d.reals(s.gross_outflows)
        d.reals(s.storage_indicators)
        d.real(s.last_inflow)
    if getattr(r, "depth", None) is not None:
        d.reals(r.depth)
        d.reals(r.velocity)
    return d.hex()


def flood():
    """97 ordinates at 15 minutes, 50 m3/s rising to 500 m3/s at 6 hours."""
    return np.array([50.0 + 450.0 * (2.0 * s * s / (1.0 + s * s * s * s))
                     for s in (i / 24.0 for i in range(97))])


def gap():
    """25 hourly ordinates, a triangle of 20 to 140 m3/s, ordinate 7 undefined."""
    q = np.array([20.0 + 10.0 * (i if i < 12 else 24 - i) for i in range(25)])
    q[7] = UNDEFINED
    return q


PAIRS = range(41)
STORAGE = [7200.0 * 20.0 * p for p in PAIRS]  # a linear reservoir of 2 hours
OUTFLOW = [20.0 * p for p in PAIRS]
ELEVATION = [0.25 * p for p in PAIRS]
TRAPEZOID = tovalin.Trapezoid(20.0, 2.0, 0.035)
EIGHT_POINT = tovalin.EightPoint([0, 10, 20, 20, 60, 60, 70, 80], [10, 5, 5, 0, 0, 5, 5, 10],
                                 [0.08, 0.035, 0.08])
CIRCLE = tovalin.Circle(6.0, 0.013)


def route_case(method, q, interval):
    """The cases of python_api_digest: the result and whether lateral inflows were given."""
    t = interval
    muskingum = dict(interval_minutes=t, k_hours=2.0, x=0.1, steps=4)
    puls = dict(interval_minutes=t, storage=STORAGE, outflow=OUTFLOW, steps=2)
    cunge = dict(interval_minutes=t, length=20000.0, slope=0.001)
    q0 = q[0]

    def grid():
        return tovalin.choose_discretisation(interval_minutes=t, length=20000.0, slope=0.001,
                                             section=TRAPEZOID, reference_flow=200.0)

    calls = {
        "muskingum": lambda: tovalin.route_muskingum(q, **muskingum),
        "muskingum_state": lambda: tovalin.route_muskingum(
            q, **muskingum, state=tovalin.StepState([q0 + 8.0, q0 + 4.0, q0 + 2.0, q0 + 1.0], q0)),
        "muskingum_refused": lambda: tovalin.route_muskingum(q, **{**muskingum, "steps": -1}),
        "puls": lambda: tovalin.route_puls(q, **puls),
        "puls_with_loss": lambda: tovalin.route_puls_with_loss(
            q, **puls, elevation=ELEVATION, loss_elevation=1.0, loss_rate=2e-6),
        "cunge_trapezoid": lambda: tovalin.route_muskingum_cunge(
            q, **cunge, section=TRAPEZOID, initial_flows=[q0] * 3),
        "cunge_eight_point": lambda: tovalin.route_muskingum_cunge(q, **cunge, section=EIGHT_POINT),
        "cunge_circle_lateral": lambda: tovalin.route_muskingum_cunge(
            q, interval_minutes=t, length=2000.0, slope=0.01, section=CIRCLE,
            lateral_inflows=np.full(q.size, 0.0005)),
        "cunge_continuation": lambda: tovalin.route_muskingum_cunge(
            q, **cunge, section=TRAPEZOID, continuation=True),
        "cunge_discretised": lambda: tovalin.route_muskingum_cunge(
            q, **cunge, section=TRAPEZOID, discretisation=grid()),
        "cunge_started": lambda: tovalin.route_muskingum_cunge(
            q, **cunge, section=TRAPEZOID, state=tovalin.start_muskingum_cunge(
                q0, length=20000.0, slope=0.001, section=TRAPEZOID,
                discretisation=grid()).state),
        "muskingum_started": lambda: tovalin.route_muskingum(
            q, **muskingum, state=tovalin.start_muskingum(
                q0 + 5.0, k_hours=2.0, x=0.1, steps=4, first_inflow=q0).state),
        "puls_level_start": lambda: tovalin.route_puls(q, **puls, state=tovalin.start_puls(
            interval_minutes=t, storage=STORAGE, outflow=OUTFLOW, steps=2, level=2.0,
            elevation=ELEVATION, first_inflow=q0).state),
        "puls_depth": lambda: tovalin.route_puls(q, **puls, elevation=ELEVATION,
                                                 depth_and_velocity=True),
        "cunge_eight_point_depth": lambda: tovalin.route_muskingum_cunge(
            q, **cunge, section=EIGHT_POINT, depth_and_velocity=True),
        "cunge_continuation_depth": lambda: tovalin.route_muskingum_cunge(
            q, **cunge, section=TRAPEZOID, continuation=True, depth_and_velocity=True),
    }
    return calls[method](), method == "cunge_circle_lateral"


@pytest.fixture(scope="module")
def cpp_digests():
    # ctest names the program; beside a module in a build tree, it is in that tree's bin/.
    beside = Path(tovalin.__file__).resolve().parents[2] / "bin" / "python_api_digest"
    program = os.environ.get("TOVALIN_API_DIGEST") or (beside if beside.exists() else None)
    if not program:
        pytest.skip("TOVALIN_API_DIGEST does not name the C++ digest program (ctest sets it)")
    lines = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    return {name: (inputs, result) for name, inputs, result in map(str.split, lines.splitlines())}


HYDROGRAPHS = {"flood": (flood, 15), "gap": (gap, 60)}
METHODS = ["muskingum", "muskingum_state", "muskingum_refused", "puls", "puls_with_loss",
           "cunge_trapezoid", "cunge_eight_point", "cunge_circle_lateral", "cunge_continuation",
           "cunge_discretised", "cunge_started", "muskingum_started", "puls_level_start",
           "puls_depth", "cunge_eight_point_depth", "cunge_continuation_depth"]


@pytest.mark.parametrize("hydrograph", HYDROGRAPHS)
@pytest.mark.parametrize("method", METHODS)
def test_results_equal_the_cpp_api_bit_for_bit(cpp_digests, hydrograph, method):
    make, interval = HYDROGRAPHS[hydrograph]
    q = make()
    result, lateral = route_case(method, q, interval)
    inputs = Digest()
    inputs.integer(interval)
    inputs.reals(q)
    if lateral:
        inputs.reals(np.full(q.size, 0.0005))
    expected_inputs, expected_result = cpp_digests[f"{hydrograph}.{method}"]
    assert inputs.hex() == expected_inputs, "the case's inputs differ from the C++ program's"
    assert result_digest(result) == expected_result


def same_bits(a, b):
    return np.asarray(a).tobytes() == np.asarray(b).tobytes()


STEP_METHODS = {
    "muskingum": lambda q, state: tovalin.route_muskingum(
        q, interval_minutes=15, k_hours=2.0, x=0.1, steps=4, state=state),
    "puls": lambda q, state: tovalin.route_puls(
        q, interval_minutes=15, storage=STORAGE, outflow=OUTFLOW, steps=2, state=state),
    "puls_with_loss": lambda q, state: tovalin.route_puls_with_loss(
        q, interval_minutes=15, storage=STORAGE, outflow=OUTFLOW, elevation=ELEVATION,
        loss_elevation=1.0, loss_rate=2e-6, steps=2, state=state),
}


@pytest.mark.parametrize("method", STEP_METHODS)
def test_two_calls_carried_on_equal_one_call(method):
    route = STEP_METHODS[method]
    q = flood()
    whole = route(q, None)
    head = route(q[:49], None)
    tail = route(q[48:], head.state)  # one ordinate of overlap
    assert tail.status.ok
    assert same_bits(tail.outflows[1:], whole.outflows[49:])
    assert same_bits(tail.outflows[:1], head.outflows[-1:])
    for name in ("outflows", "storage_indicators", "gross_outflows"):
        assert same_bits(getattr(tail.state, name), getattr(whole.state, name))


@pytest.mark.parametrize("section", [TRAPEZOID, EIGHT_POINT, CIRCLE], ids=type)
def test_muskingum_cunge_chunks_equal_one_continuation(section):
    q = flood()
    reach = dict(interval_minutes=15, length=20000.0, slope=0.001, section=section)
    start = tovalin.route_muskingum_cunge(q[:1], **reach, continuation=True).state
    whole = tovalin.route_muskingum_cunge(q, **reach, state=start)
    head = tovalin.route_muskingum_cunge(q[:40], **reach, state=start)
    tail = tovalin.route_muskingum_cunge(q[39:], **reach, state=head.state)
    assert whole.final_flows is None and head.state.subreach_count == start.subreach_count
    assert same_bits(np.concatenate([head.outflows, tail.outflows[1:]]), whole.outflows)
    assert same_bits(tail.state.node_flows, whole.state.node_flows)


def test_data_problems_are_reported_not_raised():
    # The texts are those the library's documentation gives for the same data.
    r = tovalin.route_muskingum_cunge(flood(), interval_minutes=15, length=20000.0, slope=0.0,
                                      section=TRAPEZOID)
    assert (r.status.routine, r.status.message_number, r.status.severity) == (16, 12, 4)
    assert r.text == ("Invalid Muskingum-Cunge parameters: interval = 15, length = 20000., "
                      "slope = 0.0")
    assert tovalin.is_undefined(r.outflows).all() and r.status.error
    p = tovalin.route_puls(flood(), interval_minutes=0, storage=STORAGE, outflow=OUTFLOW, steps=2)
    assert (p.status.routine, p.status.message_number, p.status.severity) == (17, 14, 4)
    assert p.text == "Invalid Modified Puls parameters: interval = 0 minutes, number of steps = 2"
    # A start that cannot be built is reported, and a routing call refuses its empty state.
    s = tovalin.start_muskingum(10.0, k_hours=2.0, x=0.1, steps=0)
    assert (s.status.routine, s.status.message_number) == (14, 12) and s.state.outflows.size == 0
    refused = tovalin.route_muskingum([10.0, 11.0], **GOOD, state=s.state)
    assert refused.status.message_number == 16
    # An undefined or NaN ordinate makes the outflows undefined from that ordinate on.
    for missing in (UNDEFINED, float("nan")):
        q = flood()
        q[30] = missing
        m = tovalin.route_muskingum(q, interval_minutes=15, k_hours=2.0, x=0.1, steps=4)
        assert not tovalin.is_undefined(m.outflows[:30]).any()
        assert tovalin.is_undefined(m.outflows[30:]).all()


GOOD = dict(interval_minutes=15, k_hours=2.0, x=0.1, steps=4)


@pytest.mark.parametrize("inflows, change, error, names", [
    ([1.0, 2.0], {"k_hours": "2"}, TypeError, "k_hours"),
    ([1.0, 2.0], {"steps": 2.5}, TypeError, "steps"),
    ([1.0, 2.0], {"x": None}, TypeError, "x"),
    ([1.0, 2.0], {"interval_minutes": 2**40}, ValueError, "interval_minutes"),
    ([1.0, 2.0], {"state": "cold"}, TypeError, "state"),
    ("1 2 3", {}, TypeError, "inflows"),
    (None, {}, TypeError, "inflows"),
    ([[1.0, 2.0], [3.0, 4.0]], {}, ValueError, "one-dimensional"),
    (5.0, {}, ValueError, "one-dimensional"),
    (["1", "2"], {}, ValueError, "real numbers"),
    ([1.0, "a"], {}, ValueError, "real numbers"),
    ([1.0, 2.0j], {}, ValueError, "real numbers"),
    ([[1.0], [2.0, 3.0]], {}, ValueError, "inflows"),
])
def test_what_python_cannot_pass_raises(inflows, change, error, names):
    with pytest.raises(error, match=names):
        tovalin.route_muskingum(inflows, **{**GOOD, **change})


@pytest.mark.parametrize("make, error", [
    (lambda: tovalin.route_muskingum_cunge([1.0], interval_minutes=15, length=1.0, slope=1.0,
                                           section={"bottom_width": 1.0}), TypeError),
    (lambda: tovalin.Trapezoid("20", 2.0, 0.035), TypeError),
    (lambda: tovalin.EightPoint([0.0] * 7, [0.0] * 8, [0.03] * 3), ValueError),
    (lambda: tovalin.route_muskingum_cunge(
        [1.0], interval_minutes=15, length=1.0, slope=1.0, section=TRAPEZOID,
        initial_flows=[1.0], continuation=True), ValueError),
    (lambda: tovalin.route_puls([1.0], interval_minutes=15, storage=[[0.0]], outflow=[0.0],
                                steps=1), ValueError),
    (lambda: tovalin.start_puls(interval_minutes=15, storage=[0.0], outflow=[0.0], steps=1,
                                initial_flow=1.0, level=2.0), ValueError),
    (lambda: tovalin.start_muskingum_cunge(1.0, length=1.0, slope=1.0, section=TRAPEZOID,
                                           discretisation=None), TypeError),
])
def test_sections_and_combinations_python_cannot_pass_raise(make, error):
    with pytest.raises(error):
        make()


def test_any_array_like_is_taken_and_outflows_belong_to_the_result():
    q = flood()
    expected = tovalin.route_muskingum(q, **GOOD).outflows
    for like in (list(q), tuple(q), np.stack([q, q], axis=1)[:, 0], q.astype(">f8")):
        r = tovalin.route_muskingum(like, **GOOD)
        assert same_bits(r.outflows, expected)
    r = tovalin.route_muskingum(q, **GOOD)
    assert r.outflows.flags.owndata and r.outflows.dtype == np.float64
    assert not r.state.outflows.flags.writeable
    assert tovalin.route_muskingum(np.arange(10), **GOOD).status.ok  # integers convert


def test_routing_releases_the_interpreter_lock_and_threads_route_at_once():
    q = np.tile(flood(), 3000)  # about 290,000 ordinates, long enough to be caught routing
    reach = dict(interval_minutes=15, length=20000.0, slope=0.001, section=EIGHT_POINT)
    alone = tovalin.route_muskingum_cunge(q, **reach)
    other_alone = tovalin.route_muskingum(q, **GOOD)
    results = {}
    worker = threading.Thread(
        target=lambda: results.setdefault("cunge", tovalin.route_muskingum_cunge(q, **reach)))
    old = sys.getswitchinterval()
    # No switching between threads by time: the worker gives the lock up only where it
    # releases it, so this thread runs on while the worker is still routing only if the
    # routing released it.
    sys.setswitchinterval(1000.0)
    try:
        worker.start()
        frame = sys._current_frames()[worker.ident]
        caught = frame.f_code.co_name
        # Both threads route at once: this one while the worker is still at it.
        other = tovalin.route_muskingum(q, **GOOD)
    finally:
        sys.setswitchinterval(old)
        worker.join()
    assert caught == "route_muskingum_cunge"
    assert same_bits(results["cunge"].outflows, alone.outflows)
    assert same_bits(other.outflows, other_alone.outflows)


def test_the_example_prints_the_java_demos_table(tmp_path):
    # The README shows the table the Java demo prints through the JNI entry points for the
    # same flood and reach: the example's rows, through this module, are the same.
    root = Path(__file__).resolve().parents[2]
    readme = (root / "README.md").read_text().splitlines()
    first = readme.index(next(line for line in readme if line.startswith("Inflow ")))
    expected = readme[first - 2:first + 7]
    printed = subprocess.run(
        [sys.executable, root / "examples" / "python" / "route_flood.py", "--plot",
         tmp_path / "flood.png"], check=True, capture_output=True, text=True).stdout
    assert printed.splitlines()[:9] == [line.rstrip() for line in expected]
