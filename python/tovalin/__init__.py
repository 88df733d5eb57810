"""tovalin: hydrologic channel routing of one reach per call, on numpy arrays.

Five methods, one function each: route_muskingum, route_puls, route_puls_with_loss and
route_muskingum_cunge (through a Trapezoid, a Circle or an EightPoint section). Each takes
the inflow hydrograph as any one-dimensional array-like of numbers (m3/s, one per ordinate at
a fixed interval of whole minutes) and keyword arguments, and returns a result with

    outflows     a numpy array of one outflow per ordinate (m3/s), owned by the result
    status       Status: routine, message_number, severity; ok, warning and error
    text         the library's message, "" when it reported nothing
    volume       VolumeAccount: inflow, outflow, storage, loss and balance error (m3), and
                 the balance error relative to inflow and initial storage
    diagnostics  the method's figures (Puls and Muskingum-Cunge)
    state        the state that carries the run on in a next call

Problems of the data (a negative step count, a slope of 0, an undefined flow) are reported in
the status and the text, as the library reports them, never raised: only arguments Python
cannot pass raise (TypeError for a value of the wrong kind, ValueError for an array that is
not one-dimensional or not numeric). The undefined value UNDEFINED (about -1e38) or a NaN
marks a missing ordinate. The routing releases the interpreter lock, so threads route reaches
in parallel. A river network is routed by tovalin.network.run.
"""
import math

import numpy as np

from . import _arguments as _a
from . import _tovalin
from ._types import (Circle, EightPoint, MuskingumCungeDiagnostics,
                     MuskingumCungeDiscretisation, MuskingumCungeResult, MuskingumCungeState,
                     MuskingumResult, PulsDiagnostics, PulsResult, Severity, Start, Status,
                     StepState, Trapezoid, VolumeAccount, _section)

__version__ = _tovalin.__version__

#: The undefined value that marks a missing real value: single-precision -1.0E38 as a float.
UNDEFINED = _tovalin.UNDEFINED

__all__ = [
    "route_muskingum", "route_puls", "route_puls_with_loss", "route_muskingum_cunge",
    "choose_discretisation", "start_muskingum", "start_puls", "start_puls_with_loss",
    "start_muskingum_cunge", "Trapezoid", "Circle", "EightPoint", "StepState",
    "MuskingumCungeState", "MuskingumCungeDiscretisation", "Start",
    "MuskingumResult", "PulsResult", "MuskingumCungeResult", "Status", "Severity",
    "VolumeAccount", "PulsDiagnostics", "MuskingumCungeDiagnostics", "UNDEFINED",
    "is_undefined",
]


def is_undefined(value):
    """Whether a value (or each value of an array) is undefined: equal to UNDEFINED, or NaN,
    as the library tests it (an == test alone misses NaN)."""
    v = np.asarray(value, dtype=np.float64)
    result = (v == UNDEFINED) | np.isnan(v)
    return bool(result) if result.ndim == 0 else result


def _step_state(state):
    if state is None:
        return None
    if not isinstance(state, StepState):
        raise TypeError(f"state must be a tovalin.StepState or None, not {type(state).__name__}")
    return state


def _volume(parts):
    return VolumeAccount(*parts)


def route_muskingum(inflows, *, interval_minutes, k_hours, x, steps, state=None):
    """Routes an inflow hydrograph through a reach by Muskingum.

    The storage of the reach is S = K (x I + (1 - x) O); the reach is split into `steps`
    equal routing steps, each with K / steps.

    inflows           inflow at each ordinate (m3/s, or any one flow unit)
    interval_minutes  interval between ordinates, whole minutes (>= 1)
    k_hours           storage constant K of the whole reach, hours (> 0)
    x                 weighting factor, 0 to 0.5
    steps             number of routing steps (>= 1)
    state             None: every step starts at steady flow from inflows[0]; a StepState
                      (the state of an earlier result): the run goes on from it, the inflows
                      starting at its last ordinate (inflows[0] == state.last_inflow)

    Returns a MuskingumResult. Statuses (routine 14): 1 unstable coefficients (routed),
    12 invalid K, x or steps, 16 a state that does not fit the reach or the hydrograph.
    """
    q = _a.flows("inflows", inflows)
    interval = _a.integer("interval_minutes", interval_minutes)
    k = _a.real("k_hours", k_hours)
    x = _a.real("x", x)
    steps = _a.integer("steps", steps)
    start = _step_state(state)
    out, status, text, volume, next_state = _tovalin.route_muskingum(
        q, interval, k, x, steps,
        start.outflows if start else None, start.last_inflow if start else 0.0)
    return MuskingumResult(out, Status._from(status), text, _volume(volume),
                           StepState._from(next_state))


def _route_puls(inflows, interval_minutes, storage, outflow, steps, state, depth_and_velocity,
                with_loss, elevation=None, loss_elevation=0.0, loss_rate=0.0):
    q = _a.flows("inflows", inflows)
    interval = _a.integer("interval_minutes", interval_minutes)
    storage = _a.flows("storage", storage)
    outflow = _a.flows("outflow", outflow)
    steps = _a.integer("steps", steps)
    asked = _a.flag("depth_and_velocity", depth_and_velocity)
    if with_loss or elevation is not None:
        elevation = _a.flows("elevation", elevation)
    if with_loss:
        loss_elevation = _a.real("loss_elevation", loss_elevation)
        loss_rate = _a.real("loss_rate", loss_rate)
    start = _step_state(state)
    out, status, text, volume, next_state, diagnostics, depth, velocity = _tovalin.route_puls(
        q, interval, storage, outflow, steps, with_loss, elevation, loss_elevation, loss_rate,
        start.outflows if start else None,
        start.gross_outflows if start else None,
        start.storage_indicators if start else None,
        start.last_inflow if start else 0.0, asked)
    return PulsResult(out, Status._from(status), text, _volume(volume),
                      PulsDiagnostics._from(diagnostics), StepState._from(next_state), depth,
                      velocity)


def route_puls(inflows, *, interval_minutes, storage, outflow, steps, state=None,
               elevation=None, depth_and_velocity=False):
    """Routes an inflow hydrograph through a reach by modified Puls.

    inflows           inflow at each ordinate (m3/s, or any one flow unit)
    interval_minutes  interval between ordinates, whole minutes (>= 1)
    storage, outflow  the reach's storage-outflow table: storage of the whole reach (m3, or
                      the flow unit x seconds) and outflow (m3/s), both ascending, pairs of
                      equal index (the shorter array counts)
    steps             number of routing steps (>= 1)
    state             None: every step starts at steady flow from inflows[0]; a StepState of
                      an earlier result: the run goes on from it (inflows[0] ==
                      state.last_inflow)
    elevation         the water-surface elevation of each pair of the table (m), for the
                      depth; None: none
    depth_and_velocity
                      True: the result's depth holds the water level at each ordinate

    Returns a PulsResult. Statuses (routine 17): 11 no storage, 12 a storage lookup failed,
    14 interval or steps below 1, 16 a state that does not fit.
    """
    return _route_puls(inflows, interval_minutes, storage, outflow, steps, state,
                       depth_and_velocity, False, elevation)


def route_puls_with_loss(inflows, *, interval_minutes, storage, outflow, elevation,
                         loss_elevation, loss_rate, steps, state=None,
                         depth_and_velocity=False):
    """Routes an inflow hydrograph through a reach by modified Puls with a channel loss.

    A loss L = S / D * loss_rate is taken off each step's outflow while the water surface
    stands above loss_elevation (D the depth above it, S the step's storage).

    inflows           inflow at each ordinate (m3/s)
    interval_minutes  interval between ordinates, whole minutes (>= 1)
    storage, outflow  the storage-outflow table (m3, m3/s), as for route_puls
    elevation         the water-surface elevation of each pair of the table (m)
    loss_elevation    elevation above which the loss acts (m)
    loss_rate         loss per unit of area storage / depth (m/s)
    steps             number of routing steps (>= 1)
    state             None or a StepState of an earlier result, as for route_puls
    depth_and_velocity
                      True: the result's depth holds the water level at each ordinate

    Returns a PulsResult whose volume account holds the loss. Statuses (routine 18): 11 no
    storage, 12 a storage lookup failed, 13 an elevation lookup failed, 14 interval or steps
    below 1, 16 a state that does not fit.
    """
    return _route_puls(inflows, interval_minutes, storage, outflow, steps, state,
                       depth_and_velocity, True, elevation, loss_elevation, loss_rate)


def route_muskingum_cunge(inflows, *, interval_minutes, length, slope, section,
                          lateral_inflows=None, initial_flows=None,
                          subreaches_from_profile=False, state=None, continuation=False,
                          discretisation=None, depth_and_velocity=False):
    """Routes an inflow hydrograph through a reach of one uniform section by Muskingum-Cunge
    (variable parameter).

    inflows           inflow at each ordinate (m3/s)
    interval_minutes  interval between ordinates, whole minutes (>= 1)
    length            reach length, m (> 0)
    slope             bed slope, m/m (> 0)
    section           a Trapezoid, Circle or EightPoint
    lateral_inflows   lateral inflow per metre of reach (m3/s per m) at the same ordinates;
                      None: none
    initial_flows     the flows along the reach at time 0 (m3/s) at equally spaced points
                      from the upstream to the downstream end; None: two points, both at
                      inflows[0] (steady flow)
    subreaches_from_profile
                      with initial_flows: the reach has len(initial_flows) - 1 subreaches
                      (1 to 200) instead of a count chosen from the celerity
    state             a MuskingumCungeState of an earlier result: a continuation from it
                      (inflows[0] == state.last_inflow, the interval a whole multiple of
                      state.computation_interval)
    continuation      True without a state: a continuation from a cold start, every node at
                      steady flow from inflows[0], at the reach's own discretisation
                      (choose_discretisation without a reference flow)
    discretisation    a MuskingumCungeDiscretisation (choose_discretisation): a continuation
                      from a cold start at it
    depth_and_velocity
                      True: the result's depth and velocity hold the normal depth (m) and the
                      velocity (m/s) of the outflow at each ordinate

    Without state or continuation this is one call over the whole hydrograph, the library's
    own computation: the computation interval and the subreach count are chosen from this
    hydrograph, and final_flows holds the profile's points at the end. A continuation routes
    at a computation interval (the hydrograph's interval divided by a whole number) and a
    subreach count chosen from the reach before the run, never from the hydrograph, held
    fixed from call to call; its result's state carries it on, and chunks continued this way
    equal one continuation over the whole hydrograph bit for bit. A run that starts from
    known flows starts from start_muskingum_cunge's state.

    Returns a MuskingumCungeResult. Statuses (routine 15 eight-point, 16 trapezoid and
    circle): 1 a subreach-step did not settle (routed), 11 no storage or too many
    computation steps, 12 invalid data (refused, every output undefined), 16 a state that
    does not fit or a discretisation that cannot route.
    """
    q = _a.flows("inflows", inflows)
    interval = _a.integer("interval_minutes", interval_minutes)
    length = _a.real("length", length)
    slope = _a.real("slope", slope)
    kind, values = _section(section)
    grid = _discretisation(discretisation)
    lateral = None if lateral_inflows is None else _a.flows("lateral_inflows", lateral_inflows)
    from_profile = _a.flag("subreaches_from_profile", subreaches_from_profile)
    continuation = _a.flag("continuation", continuation)
    asked = _a.flag("depth_and_velocity", depth_and_velocity)
    if state is not None and not isinstance(state, MuskingumCungeState):
        raise TypeError("state must be a tovalin.MuskingumCungeState or None, "
                        f"not {type(state).__name__}")
    if initial_flows is not None and (state is not None or continuation or grid):
        raise ValueError("initial_flows start one call; a continuation starts from its state")
    if grid and state is not None:
        raise ValueError("a continuation from a state keeps the state's discretisation")
    if from_profile and initial_flows is None:
        raise ValueError("subreaches_from_profile counts the points of initial_flows")
    profile = None
    if state is not None:
        mode = _tovalin.FROM_STATE
    elif grid:
        mode = _tovalin.COLD_AT_DISCRETISATION
    elif continuation:
        mode = _tovalin.COLD
    else:
        mode = _tovalin.ONE_CALL
        if initial_flows is not None:
            profile = _a.flows("initial_flows", initial_flows)
        else:
            profile = np.full(2 if q.size else 0, q[0] if q.size else math.nan)
    out, status, text, volume, diagnostics, final_flows, next_state, depth, velocity = (
        _tovalin.route_muskingum_cunge(
            q, interval, length, slope, kind, values, lateral, mode, profile, from_profile,
            *_grid_arguments(state, grid), state.node_flows if state else None,
            state.node_depths if state else None, state.last_inflow if state else 0.0,
            grid.reference_flow if grid else 0.0,
            _status_arguments(grid.status if grid else None), asked))
    return MuskingumCungeResult(
        out, Status._from(status), text, _volume(volume),
        MuskingumCungeDiagnostics(**diagnostics),
        None if final_flows is None else _a.readonly(final_flows),
        None if next_state is None else MuskingumCungeState(*next_state), depth, velocity)


def _discretisation(value):
    if value is None:
        return None
    if not isinstance(value, MuskingumCungeDiscretisation):
        raise TypeError("discretisation must be a tovalin.MuskingumCungeDiscretisation or None, "
                        f"not {type(value).__name__}")
    return value


def _grid_arguments(state, grid):
    if state is not None:
        return state.computation_interval, state.subreach_count
    if grid is not None:
        return grid.computation_interval, grid.subreach_count
    return 0.0, 0


def _status_arguments(status):
    if status is None:
        return (0, 0, 0)
    return (status.routine, status.message_number, int(status.severity))


def choose_discretisation(*, interval_minutes, length, slope, section, reference_flow=None):
    """Chooses the computation interval and subreach count of a Muskingum-Cunge continuation
    whose hydrographs have ordinates interval_minutes apart, from the reach and a reference
    flow, by the rule of a one-call run without its hydrograph.

    interval_minutes  interval between the hydrographs' ordinates, whole minutes
    length, slope, section
                      the reach, as for route_muskingum_cunge
    reference_flow    the flow to choose at (m3/s); None (or a flow that is not finite and
                      above 0.01 m3/s): the reach's own, the normal flow of the channel full
                      to its banks (a trapezoid at a depth of a tenth of its bottom width, a
                      conduit half full)

    With the celerity ck and top width T of normal flow at the reference flow, dt is the
    smaller of the ordinate interval and the travel time L/ck, lowered to the interval
    divided by the smallest whole number that brings it there; the subreach length is the
    smaller of ck dt and (ck dt + Q0/(S ck T))/2. Returns a MuskingumCungeDiscretisation to
    pass to route_muskingum_cunge(discretisation=...) or start_muskingum_cunge.
    """
    interval = _a.integer("interval_minutes", interval_minutes)
    length = _a.real("length", length)
    slope = _a.real("slope", slope)
    kind, values = _section(section)
    flow = UNDEFINED if reference_flow is None else _a.real("reference_flow", reference_flow)
    return MuskingumCungeDiscretisation._from(
        _tovalin.choose_discretisation(length, slope, kind, values, interval, flow))


def _first_inflow(first_inflow, initial):
    return initial if first_inflow is None else _a.real("first_inflow", first_inflow)


def _step_start(parts):
    state, status, text = parts
    return Start(StepState._from(state), Status._from(status), text)


def start_muskingum(initial_flow, *, k_hours, x, steps, first_inflow=None):
    """A state with every step of a Muskingum reach at initial_flow (m3/s), to pass as
    route_muskingum(state=...). first_inflow: the first ordinate of the hydrograph routed from
    it (None: initial_flow, a steady start). Returns a Start; status: routine 14, 12 for a step
    count below 1."""
    initial = _a.real("initial_flow", initial_flow)
    return _step_start(_tovalin.start_muskingum(
        _a.real("k_hours", k_hours), _a.real("x", x), _a.integer("steps", steps), initial,
        _first_inflow(first_inflow, initial)))


def _start_puls(interval_minutes, storage, outflow, steps, initial_flow, level, first_inflow,
                with_loss, elevation, loss_elevation, loss_rate):
    if (initial_flow is None) == (level is None):
        raise ValueError("give one of initial_flow and level")
    at_level = level is not None
    value = _a.real("level", level) if at_level else _a.real("initial_flow", initial_flow)
    if at_level and first_inflow is None:
        raise ValueError("a start at a level needs first_inflow, the hydrograph's first flow")
    return _step_start(_tovalin.start_puls(
        _a.integer("interval_minutes", interval_minutes), _a.flows("storage", storage),
        _a.flows("outflow", outflow), _a.integer("steps", steps), with_loss,
        None if elevation is None else _a.flows("elevation", elevation),
        _a.real("loss_elevation", loss_elevation), _a.real("loss_rate", loss_rate), at_level,
        value, _first_inflow(first_inflow, value)))


def start_puls(*, interval_minutes, storage, outflow, steps, initial_flow=None, level=None,
               elevation=None, first_inflow=None):
    """A state with every step of a Puls reach at initial_flow (m3/s), or at a water-surface
    level (in the unit of elevation, which a level needs), to pass as route_puls(state=...).

    At a flow, the storage indicator is looked up from the outflow in the table as a cold start
    takes it: from this state, a run whose first inflow is the initial flow equals the cold
    start bit for bit. first_inflow: the first ordinate of the hydrograph routed from it
    (None: the initial flow; a start at a level needs it). Returns a Start; status: routine 17,
    14 interval or steps below 1, 12 a storage lookup failed, 13 a level outside the
    elevations.
    """
    return _start_puls(interval_minutes, storage, outflow, steps, initial_flow, level,
                       first_inflow, False, elevation, 0.0, 0.0)


def start_puls_with_loss(*, interval_minutes, storage, outflow, elevation, loss_elevation,
                         loss_rate, steps, initial_flow=None, level=None, first_inflow=None):
    """start_puls for a reach with a channel loss (route_puls_with_loss): at a flow, the
    outflow before the loss is found from the initial (net) flow as a cold start finds it; at a
    level, the outflow handed on is the table's less the loss there. Returns a Start; status:
    routine 18, as start_puls, 13 also for an elevation lookup that failed."""
    return _start_puls(interval_minutes, storage, outflow, steps, initial_flow, level,
                       first_inflow, True, elevation, loss_elevation, loss_rate)


def start_muskingum_cunge(initial_flow, *, length, slope, section, discretisation,
                          first_inflow=None):
    """A state with every node of a Muskingum-Cunge continuation at initial_flow (m3/s), its
    depth the normal depth there, at the discretisation given (choose_discretisation), to pass
    as route_muskingum_cunge(state=...). first_inflow: the first ordinate of the hydrograph
    routed from it (None: initial_flow). Returns a Start; status: routine 15 (eight-point) or
    16, 12 a reach that cannot be routed, 16 a discretisation that cannot route."""
    initial = _a.real("initial_flow", initial_flow)
    grid = _discretisation(discretisation)
    if grid is None:
        raise TypeError("discretisation must be a tovalin.MuskingumCungeDiscretisation")
    kind, values = _section(section)
    state, status, text = _tovalin.start_muskingum_cunge(
        _a.real("length", length), _a.real("slope", slope), kind, values,
        grid.computation_interval, grid.subreach_count, grid.reference_flow,
        _status_arguments(grid.status), initial, _first_inflow(first_inflow, initial))
    return Start(MuskingumCungeState(*state), Status._from(status), text)
