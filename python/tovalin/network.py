"""tovalin.network: routes a whole river network from NetCDF files with the network engine,
as the command tovalin-route does (see docs/network.md for the files).

    summary = tovalin.network.run(network="network.nc", forcing="forcing.nc",
                                  output="results.nc", threads=2)

Importing it raises ImportError where tovalin was built without the engine (which needs
NetCDF and oneTBB).
"""
from __future__ import annotations

import importlib.util
import os
from dataclasses import dataclass

from . import _arguments as _a

if importlib.util.find_spec("tovalin._network") is None:
    raise ImportError("tovalin.network is not available: this tovalin was built without the "
                      "network engine, which needs NetCDF and oneTBB where it is built")
from . import _network  # noqa: E402  (after the check above)

__all__ = ["run", "RunSummary"]

# The variables a run can write, as tovalin-route's --variables names them.
_VARIABLES = ("outflow", "depth", "velocity")

# The thread counts and block sizes tovalin-route accepts.
_MAX_THREADS = 1024
_MAX_BLOCK_REACHES = 2**30
_MAX_WINDOW = 2**31 - 1  # ordinates per window, windows per restart


@dataclass(frozen=True)
class RunSummary:
    """What a run did.

    refusal            the problems of a refused input (a list of texts, each naming the
                       reaches concerned); empty when the input was sound. A refused run
                       routes and writes nothing.
    reaches, time_count
                       the network's reaches and the forcing's times
    clean              reaches routed without a report
    with_warnings      reaches routed with a warning
    failed             reaches whose routine reported an error
    upstream_failed    reaches routed below a failed reach
    inflow_volume      what entered the network: every reach's lateral and boundary inflow
                       on the forcing's times (m3)
    outlet_volume      what left it at the outlets (m3)
    storage_start, storage_end
                       the reaches' storage at the first and last time, over the reaches whose
                       account is defined (m3); storage_change is their difference
    loss_volume        the channel loss (m3)
    balance_error      inflow - outlet - (end - start) - loss, m3; UNDEFINED when a reach's
                       account is undefined
    relative_error     balance_error / (inflow + storage_start); UNDEFINED below 1 m3
    undefined_accounts reaches whose storage or loss is undefined
    outside_courant_band, outside_courant_reaches
                       Muskingum-Cunge reaches whose Courant number ranges outside 0.2 to 5,
                       counted, and the first ten of them by reach_id
    (the volumes are summed in ascending reach_id: the same for any thread count)
    read_seconds, route_seconds, write_seconds
                       where the time went
    threads            the routing threads used
    subreach_steps     the Muskingum-Cunge reaches' subreach-steps, summed: the routing's work
    report             the summary as tovalin-route prints it
    """

    refusal: list
    reaches: int
    time_count: int
    clean: int
    with_warnings: int
    failed: int
    upstream_failed: int
    inflow_volume: float
    outlet_volume: float
    storage_start: float
    storage_end: float
    loss_volume: float
    balance_error: float
    relative_error: float
    undefined_accounts: int
    outside_courant_band: int
    outside_courant_reaches: list
    read_seconds: float
    route_seconds: float
    write_seconds: float
    threads: int
    subreach_steps: int
    report: str

    @property
    def storage_change(self):
        """storage_end - storage_start (m3)."""
        return self.storage_end - self.storage_start

    @property
    def refused(self):
        """The input was refused: nothing was routed or written."""
        return bool(self.refusal)

    @property
    def ok(self):
        """Every reach routed (warnings allowed): tovalin-route's exit status 0."""
        return not self.refusal and self.failed == 0 and self.upstream_failed == 0

    def __str__(self):
        return self.report


def _path(name, value, optional=False):
    if value is None and optional:
        return ""
    try:
        path = os.fspath(value)
    except TypeError:
        raise TypeError(f"{name} must be a path, not {type(value).__name__}") from None
    if isinstance(path, bytes):
        path = os.fsdecode(path)
    if not path:
        raise ValueError(f"{name} must name a file")
    return path


def run(*, network, forcing, output, restart_in=None, restart_out=None, threads=None,
        block_reaches=8192, window=None, restart_every=None, variables=("outflow",),
        gauges=False, progress=None):
    """Routes a river network over the whole run of its forcing and writes the results.

    network      the network file (NetCDF): reaches, links and each reach's method
    forcing      the forcing file (NetCDF): the time axis, lateral and boundary inflows
    output       the results file to write (NetCDF): outflow(time, reach_id), statuses,
                 the reach ids as the reach_id coordinate
    restart_in   a restart file to start from; None: a cold start
    restart_out  where to write the restart at the last time; None: none written. With
                 restart_every, "{time}" in it becomes each state's time (YYYYMMDDhhmm)
    threads      routing threads, 1 to 1024; None: every core
    block_reaches
                 reaches read, routed and written together (1 to 2**30)
    window       ordinates per time window, as tovalin-route --window: the forcing read and
                 the results written window by window, the same values for any window;
                 None: the whole run in one
    restart_every
                 also write a restart after every this many windows (restart_out named);
                 None: at the last time only
    variables    what the results hold per time and reach: "outflow" (always written) and
                 "depth" (m) and "velocity" (m/s) of each reach's outflow, computed as the
                 routines route, as tovalin-route --variables
    gauges       also write gauge_outflow(time, gauge), gauge_id and gauge_reach_id for the
                 reaches the network names a gauge for, as tovalin-route --gauges
    progress     None, or a callable progress(done, total) called after each block with
                 the reaches done and the total (in windows: reach-windows); an exception
                 it raises ends the run

    Returns a RunSummary. An input the engine refuses is not raised: it comes back in the
    summary's refusal, with nothing written. A file that cannot be read or written raises
    OSError. The interpreter lock is released while the network is routed.
    """
    paths = [_path("network", network), _path("forcing", forcing), _path("output", output),
             _path("restart_in", restart_in, True), _path("restart_out", restart_out, True)]
    if threads is None:
        count = 0
    else:
        count = _a.integer("threads", threads)
        if not 1 <= count <= _MAX_THREADS:
            raise ValueError(f"threads must be 1 to {_MAX_THREADS} (or None: every core), "
                             f"not {count}")
    block = _a.integer("block_reaches", block_reaches)
    if not 1 <= block <= _MAX_BLOCK_REACHES:
        raise ValueError(f"block_reaches must be 1 to {_MAX_BLOCK_REACHES}, not {block}")
    steps = []
    for name, value in (("window", window), ("restart_every", restart_every)):
        n = 0 if value is None else _a.integer(name, value)
        if value is not None and not 1 <= n <= _MAX_WINDOW:
            raise ValueError(f"{name} must be 1 to {_MAX_WINDOW} (or None), not {n}")
        steps.append(n)
    if restart_every is not None and restart_out is None:
        raise ValueError("restart_every needs restart_out, where the restarts go")
    if isinstance(variables, str):
        variables = variables.split(",")
    try:
        asked = set(variables)
    except TypeError:
        raise TypeError(f"variables must be names, not {type(variables).__name__}") from None
    unknown = sorted(str(v) for v in asked - set(_VARIABLES))
    if unknown:
        raise ValueError(f"variables must be among {', '.join(_VARIABLES)}, not "
                         f"{', '.join(unknown)}")
    if not isinstance(gauges, bool):
        raise TypeError(f"gauges must be True or False, not {type(gauges).__name__}")
    if progress is not None and not callable(progress):
        raise TypeError(f"progress must be callable or None, not {type(progress).__name__}")
    return RunSummary(**_network.run(*paths, count, block, *steps, "depth" in asked,
                                     "velocity" in asked, gauges, progress))
