"""The objects tovalin's routing functions take and return: channel sections, states that
carry a run on, and results with their status, volume account and diagnostics."""
from __future__ import annotations

import enum
from dataclasses import dataclass, field

import numpy as np

from . import _arguments as _a
from . import _tovalin


class Severity(enum.IntEnum):
    """Severity of a status: none, a warning (the routing was done) or an error."""

    NONE = 0
    WARNING = 2
    ERROR = 4


@dataclass(frozen=True, repr=False)
class Status:
    """The outcome of a call, as the library reports it.

    routine         the reporting routine: a row of the routine-name table (14 Muskingum,
                    15 Muskingum-Cunge eight-point, 16 Muskingum-Cunge trapezoid and circle,
                    17 Puls, 18 Puls with loss); 0 when nothing was reported
    message_number  0 none, 1-10 warnings (results computed), 11 and up errors
    severity        Severity.NONE, WARNING or ERROR
    code            the packed 32-bit status code (routine * 64 + number) * 8 + severity
    routine_name    the routine's name in that table
    """

    routine: int
    message_number: int
    severity: Severity
    code: int
    routine_name: str

    @property
    def ok(self):
        """Nothing reported."""
        return self.message_number == 0

    @property
    def warning(self):
        """A warning (1-10): the results were computed."""
        return 0 < self.message_number < 11

    @property
    def error(self):
        """An error (11 and up)."""
        return self.message_number >= 11

    def __repr__(self):
        if self.ok:
            return "Status(ok)"
        return (f"Status(routine={self.routine}, message_number={self.message_number}, "
                f"severity={getattr(self.severity, 'name', self.severity)})")

    def __str__(self):
        if self.ok:
            return "ok"
        kind = "warning" if self.warning else "error"
        return f"{kind} {self.message_number} of {self.routine_name} ({self.routine})"

    @classmethod
    def _from(cls, parts):
        routine, number, severity, code, name = parts
        known = severity in Severity._value2member_map_
        return cls(routine, number, Severity(severity) if known else severity, code, name)


@dataclass(frozen=True)
class VolumeAccount:
    """Volume account of a call, m3 when flows are m3/s (flow unit x seconds otherwise). A
    figure that cannot be known is UNDEFINED (test with tovalin.is_undefined), never 0 in its
    place; a call that routes nothing (refused, a state that does not fit) leaves every figure
    undefined.

    inflow, outflow    volumes over the call, trapezoidal in time over the ordinates
                       (Muskingum-Cunge: over its computation steps); an interval with an
                       undefined end adds nothing
    storage_start      storage in the reach at the first ordinate, from the method's relation
    storage_end        the same at the last ordinate
    loss               the channel loss (Puls with loss; 0 for the other methods)
    balance_error      inflow - outflow - (storage_end - storage_start) - loss, m3
    relative_error     balance_error / (inflow + storage_start); undefined when that sum is
                       below 1 m3 (a dry reach reports its m3 only)
    """

    inflow: float
    outflow: float
    storage_start: float
    storage_end: float
    loss: float
    balance_error: float
    relative_error: float


@dataclass(frozen=True)
class PulsDiagnostics:
    """Table lookups of a modified Puls call.

    ordinates_outside_table  ordinates (over all steps) whose outflow lookup left the table
    first_outside_ordinate   0-based ordinate of the first of them; None when none
    first_outside_step       0-based routing step where it happened; None when none
    failed_interpolations    every failed table lookup, the elevation lookups included
    """

    ordinates_outside_table: int
    first_outside_ordinate: int | None
    first_outside_step: int | None
    failed_interpolations: int

    @classmethod
    def _from(cls, d):
        d = dict(d)
        for key in ("first_outside_ordinate", "first_outside_step"):
            if d[key] < 0:
                d[key] = None
        return cls(**d)


@dataclass(frozen=True)
class MuskingumCungeDiagnostics:
    """Figures of a Muskingum-Cunge call.

    computation_interval     dt, s
    subreach_length          dx, m
    subreach_count           number of subreaches
    computation_steps        computation steps, the initial one included
    courant_min/max          Courant number ck dt/dx over the depth computations of the sweep
                             (NaN when none was made; flows at or below 0.01 m3/s left out)
    reynolds_min/max         cell Reynolds number Q/(S T ck dx), the same way
    depth_computations       depth computations of the sweep
    passes_max, passes_mean  passes of one subreach-step: the largest and the mean
    subreach_steps           subreach-steps routed (undefined ones left out)
    non_converged            subreach-steps that did not settle in 20 passes
    failed_depth_searches    depth computations that reported an error
    clamped_outflows         subreach outflows raised to 0
    peak_outflow             m3/s, the largest outflow of the computation steps after the first
    peak_time_minutes        its time, minutes (valid when peak_found)
    peak_found               whether a peak was found
    max_celerity             the largest celerity, m/s
    interval_written, subreach_length_written, initial_storage_written, routed
                             which figures the call produced (all True unless storage ran out)
    """

    computation_interval: float
    subreach_length: float
    subreach_count: int
    computation_steps: int
    courant_min: float
    courant_max: float
    reynolds_min: float
    reynolds_max: float
    depth_computations: int
    passes_max: int
    passes_mean: float
    subreach_steps: int
    non_converged: int
    failed_depth_searches: int
    clamped_outflows: int
    peak_outflow: float
    peak_time_minutes: float
    peak_found: bool
    max_celerity: float
    interval_written: bool
    subreach_length_written: bool
    initial_storage_written: bool
    routed: bool


@dataclass(frozen=True, eq=False)
class StepState:
    """The state of a Muskingum or Puls reach at the last ordinate of a call, which the next
    call starts from (its inflows begin at that ordinate: inflows[0] == last_inflow).

    outflows            each routing step's outflow (m3/s), as handed to the next step
    last_inflow         the inflow of the last ordinate (m3/s)
    storage_indicators  Puls: each step's storage indicator S/dt + O/2 (m3/s); empty for
                        Muskingum. A Puls state without them starts each step from its
                        outflow through the table, and then does not continue bit for bit.
    gross_outflows      Puls with loss: each step's outflow before the loss; empty otherwise

    The arrays are read-only copies.
    """

    outflows: np.ndarray
    last_inflow: float
    storage_indicators: np.ndarray = field(default=())
    gross_outflows: np.ndarray = field(default=())

    def __post_init__(self):
        for name in ("outflows", "storage_indicators", "gross_outflows"):
            object.__setattr__(self, name, _a.frozen_copy(name, getattr(self, name)))
        object.__setattr__(self, "last_inflow", _a.real("last_inflow", self.last_inflow))

    def __repr__(self):
        return (f"StepState(outflows={self.outflows.tolist()!r}, last_inflow={self.last_inflow!r}"
                f", storage_indicators={self.storage_indicators.tolist()!r}"
                f", gross_outflows={self.gross_outflows.tolist()!r})")

    @classmethod
    def _from(cls, parts):
        outflows, gross, indicators, last_inflow = parts
        return cls(outflows, last_inflow, indicators, gross)


@dataclass(frozen=True, eq=False)
class MuskingumCungeState:
    """The state of a Muskingum-Cunge continuation at the last ordinate of a call.

    computation_interval  dt, s: the hydrograph's interval divided by a whole number
    subreach_count        1 to 200
    node_flows            flow at the subreach_count + 1 nodes, upstream to downstream (m3/s)
    node_depths           the last depth found at each node (m), where the next search starts
    last_inflow           the inflow of the last ordinate (m3/s): the next call's first

    The arrays are read-only copies.
    """

    computation_interval: float
    subreach_count: int
    node_flows: np.ndarray
    node_depths: np.ndarray
    last_inflow: float

    def __post_init__(self):
        set_ = object.__setattr__
        set_(self, "computation_interval",
             _a.real("computation_interval", self.computation_interval))
        set_(self, "subreach_count", _a.integer("subreach_count", self.subreach_count))
        set_(self, "node_flows", _a.frozen_copy("node_flows", self.node_flows))
        set_(self, "node_depths", _a.frozen_copy("node_depths", self.node_depths))
        set_(self, "last_inflow", _a.real("last_inflow", self.last_inflow))

    def __repr__(self):
        return (f"MuskingumCungeState(computation_interval={self.computation_interval!r}, "
                f"subreach_count={self.subreach_count!r}, "
                f"node_flows={self.node_flows.tolist()!r}, "
                f"node_depths={self.node_depths.tolist()!r}, last_inflow={self.last_inflow!r})")


@dataclass(frozen=True)
class MuskingumCungeDiscretisation:
    """The computation interval and subreach count of a Muskingum-Cunge continuation, chosen
    before a run from the reach and a reference flow (tovalin.choose_discretisation).

    computation_interval  dt, s: the hydrographs' interval divided by a whole number
    subreach_count        1 to 200
    reference_flow        the flow they were chosen at (m3/s): the caller's or the reach's own
    status                ok, or error 12 when the reach or the interval cannot be routed (the
                          interval and count are then 0)
    """

    computation_interval: float
    subreach_count: int
    reference_flow: float
    status: Status

    @classmethod
    def _from(cls, parts):
        dt, count, flow, status = parts
        return cls(dt, count, flow, Status._from(status))


@dataclass(frozen=True, eq=False)
class Start:
    """A state to start a run from (tovalin.start_muskingum, start_puls, ...), with the outcome
    of building it: status ok, or an error of the method's routine with its text; the state is
    then empty, and a routing call refuses it (status 16)."""

    state: StepState | MuskingumCungeState
    status: Status
    text: str


# Channel sections of Muskingum-Cunge reaches. Values the library refuses (a width below 0,
# a roughness of 0) are reported in the result's status, not raised.

@dataclass(frozen=True)
class Trapezoid:
    """A trapezoid of bottom width b (m) and side slope z (horizontal per unit vertical, both
    sides): z = 0 is a rectangle, b = 0 a triangle. manning_n: Manning's n (s/m^(1/3))."""

    bottom_width: float
    side_slope: float
    manning_n: float

    def __post_init__(self):
        for name in ("bottom_width", "side_slope", "manning_n"):
            object.__setattr__(self, name, _a.real(name, getattr(self, name)))

    def _values(self):
        return _tovalin.SECTION_TRAPEZOID, [self.bottom_width, self.side_slope, self.manning_n]


@dataclass(frozen=True)
class Circle:
    """A circular conduit of diameter D (m) with Manning's n (s/m^(1/3))."""

    diameter: float
    manning_n: float

    def __post_init__(self):
        for name in ("diameter", "manning_n"):
            object.__setattr__(self, name, _a.real(name, getattr(self, name)))

    def _values(self):
        return _tovalin.SECTION_CIRCLE, [self.diameter, self.manning_n]


@dataclass(frozen=True, eq=False)
class EightPoint:
    """An eight-point natural cross-section.

    stations    eight distances across the section (m), left to right, the distance of each
                from the first never decreasing
    elevations  the eight points' elevations (m)
    manning_n   Manning's n (s/m^(1/3)) of the left overbank (points 1-3), the main channel
                (3-6) and the right overbank (6-8)
    """

    stations: tuple
    elevations: tuple
    manning_n: tuple

    def __post_init__(self):
        for name, count in (("stations", 8), ("elevations", 8), ("manning_n", 3)):
            values = _a.frozen_copy(name, getattr(self, name))
            if values.size != count:
                raise ValueError(f"{name} must hold {count} values, not {values.size}")
            object.__setattr__(self, name, tuple(float(v) for v in values))

    def _values(self):
        return _tovalin.SECTION_EIGHT_POINT, [*self.stations, *self.elevations, *self.manning_n]


def _section(value):
    if not isinstance(value, (Trapezoid, Circle, EightPoint)):
        raise TypeError("section must be a tovalin.Trapezoid, Circle or EightPoint, "
                        f"not {type(value).__name__}")
    kind, values = value._values()
    return kind, np.array(values, dtype=np.float64)


class _Result:
    """What every routing result holds: outflows (a numpy array of one outflow per ordinate,
    m3/s, owned by the result), status, text (the message without trailing blanks, empty when
    nothing was reported) and volume (the VolumeAccount)."""

    __slots__ = ()

    def __repr__(self):
        text = f", text={self.text!r}" if self.text else ""
        error = self.volume.relative_error
        known = not (error != error or error == _a.UNDEFINED)
        return (f"{type(self).__name__}(status={str(self.status)!r}{text}, "
                f"{self.outflows.size} outflows, relative_error="
                f"{format(error, '.3g') if known else 'undefined'})")


@dataclass(frozen=True, eq=False, repr=False)
class MuskingumResult(_Result):
    """The result of tovalin.route_muskingum: outflows, status, text, volume and the state
    (a StepState) that carries the run on."""

    outflows: np.ndarray
    status: Status
    text: str
    volume: VolumeAccount
    state: StepState


@dataclass(frozen=True, eq=False, repr=False)
class PulsResult(_Result):
    """The result of tovalin.route_puls and route_puls_with_loss: outflows, status, text,
    volume, diagnostics (PulsDiagnostics), the state (a StepState), and with
    depth_and_velocity=True

    depth     the water level of the last step at each ordinate (m above the first elevation
              of the table), looked up from its storage indicator; UNDEFINED without
              elevations or where a flow is undefined
    velocity  UNDEFINED (the table holds no flow area)

    both None when not asked for.
    """

    outflows: np.ndarray
    status: Status
    text: str
    volume: VolumeAccount
    diagnostics: PulsDiagnostics
    state: StepState
    depth: np.ndarray | None = None
    velocity: np.ndarray | None = None


@dataclass(frozen=True, eq=False, repr=False)
class MuskingumCungeResult(_Result):
    """The result of tovalin.route_muskingum_cunge: outflows, status, text, volume,
    diagnostics (MuskingumCungeDiagnostics), and

    final_flows  one call from a profile: the flows at the profile's points at the end (m3/s);
                 None for a continuation
    state        a continuation: the MuskingumCungeState to go on from; None for one call
    depth        with depth_and_velocity=True: the normal depth of the outflow at the reach's
                 downstream end at each ordinate (m above the section's lowest point)
    velocity     with depth_and_velocity=True: the outflow over its flow area there (m/s)

    depth and velocity are UNDEFINED where a flow is undefined (velocity also where the area
    is 0), and None when not asked for.
    """

    outflows: np.ndarray
    status: Status
    text: str
    volume: VolumeAccount
    diagnostics: MuskingumCungeDiagnostics
    final_flows: np.ndarray | None
    state: MuskingumCungeState | None
    depth: np.ndarray | None = None
    velocity: np.ndarray | None = None
