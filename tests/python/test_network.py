"""tovalin.network.run on the shipped example network, beside the command tovalin-route."""
import importlib
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLE = Path(__file__).resolve().parents[2] / "examples" / "network"

network = pytest.importorskip("tovalin.network", reason="tovalin built without the engine")


def ncgen(cdl, out, replace=None):
    text = cdl.read_text()
    if replace:
        assert replace[0] in text
        text = text.replace(*replace)
    source = out.with_suffix(".cdl")
    source.write_text(text)
    subprocess.run(["ncgen", "-4", "-o", str(out), str(source)], check=True)
    return out


@pytest.fixture
def example(tmp_path):
    if not shutil.which("ncgen"):
        pytest.skip("ncgen (netcdf-bin) is not installed")
    return (ncgen(EXAMPLE / "network.cdl", tmp_path / "network.nc"),
            ncgen(EXAMPLE / "forcing.cdl", tmp_path / "forcing.nc"))


def test_the_example_network_routes_as_the_command_routes_it(example, tmp_path):
    net, forcing = example
    progress = []
    summary = network.run(network=net, forcing=forcing, output=tmp_path / "results.nc",
                          restart_out=tmp_path / "restart.nc", threads=2, block_reaches=10,
                          progress=lambda done, total: progress.append((done, total)))
    assert summary.refusal == [] and summary.ok and not summary.refused
    assert (summary.reaches, summary.time_count, summary.threads) == (24, 72, 2)
    assert summary.clean + summary.with_warnings == 24
    assert progress == [(10, 24), (20, 24), (24, 24)]  # blocks of 10 reaches
    assert (tmp_path / "results.nc").stat().st_size > 0
    assert (tmp_path / "restart.nc").stat().st_size > 0
    command = os.environ.get("TOVALIN_ROUTE")
    if command:
        printed = subprocess.run(
            [command, "--network", net, "--forcing", forcing, "--output", tmp_path / "cmd.nc",
             "--threads", "2"], check=True, capture_output=True, text=True).stdout
        # The counts and the volume balance; the times line differs from run to run.
        assert printed.splitlines()[:2] == summary.report.splitlines()[:2]
        assert str(summary) == summary.report


def test_depths_velocities_and_gauges_are_written_where_asked_for(example, tmp_path):
    netCDF4 = pytest.importorskip("netCDF4")
    net, forcing = example
    plain = network.run(network=net, forcing=forcing, output=tmp_path / "plain.nc")
    summary = network.run(network=net, forcing=forcing, output=tmp_path / "results.nc",
                          variables="outflow,depth,velocity", gauges=True)
    assert summary.ok and summary.subreach_steps == plain.subreach_steps > 0
    with netCDF4.Dataset(tmp_path / "plain.nc") as d:
        assert not {"depth", "velocity", "gauge_outflow"} & set(d.variables)
        outflow = d["outflow"][:]
    with netCDF4.Dataset(tmp_path / "results.nc") as d:
        assert d["depth"].dimensions == d["velocity"].dimensions == ("time", "reach_id")
        assert (d["outflow"][:] == outflow).all()  # asking for more changes no outflow
        ids = list(d["reach_id"][:])
        # Four gauges; each gauge's series is its reach's outflow.
        gauged = list(d["gauge_reach_id"][:])
        assert len(gauged) == len(d["gauge_id"][:]) == 4
        for g, reach in enumerate(gauged):
            assert (d["gauge_outflow"][:, g] == outflow[:, ids.index(reach)]).all()


def test_a_run_in_windows_equals_the_whole_run(example, tmp_path):
    netCDF4 = pytest.importorskip("netCDF4")
    net, forcing = example
    whole = network.run(network=net, forcing=forcing, output=tmp_path / "whole.nc",
                        restart_out=tmp_path / "whole-restart.nc", variables="outflow,depth")
    windows = network.run(network=net, forcing=forcing, output=tmp_path / "windows.nc",
                          window=7, restart_every=4, variables="outflow,depth",
                          restart_out=tmp_path / "restart-{time}.nc")
    assert windows.ok and (windows.clean, windows.with_warnings) == (whole.clean, whole.with_warnings)
    assert windows.report.splitlines()[1] == whole.report.splitlines()[1]  # the volume balance
    # 72 ordinates in windows of 7: a restart after windows 4, 8 and at the end.
    assert len(list(tmp_path.glob("restart-*.nc"))) == 3
    for a, b in (("whole.nc", "windows.nc"), ("whole-restart.nc", sorted(tmp_path.glob("restart-*.nc"))[-1])):
        with netCDF4.Dataset(tmp_path / a) as x, netCDF4.Dataset(tmp_path / b) as y:
            for name in set(x.variables) & set(y.variables):
                assert (x[name][:] == y[name][:]).all(), name


def test_a_refused_input_comes_back_in_the_summary(example, tmp_path):
    net, forcing = example
    broken = ncgen(EXAMPLE / "network.cdl", tmp_path / "broken.nc",
                   (" to_id = 0, 1, 2,", " to_id = 0, 99, 2,"))
    summary = network.run(network=broken, forcing=forcing, output=tmp_path / "results.nc")
    assert summary.refused and not summary.ok
    assert any("99" in problem for problem in summary.refusal)
    assert summary.reaches == 0 and not (tmp_path / "results.nc").exists()


@pytest.mark.parametrize("change, error", [
    ({"threads": 0}, ValueError),
    ({"threads": "2"}, TypeError),
    ({"block_reaches": 0}, ValueError),
    ({"output": 3}, TypeError),
    ({"progress": "bar"}, TypeError),
    ({"variables": "outflow,stage"}, ValueError),
    ({"variables": 3}, TypeError),
    ({"gauges": "yes"}, TypeError),
    ({"window": 0}, ValueError),
    ({"restart_every": 2}, ValueError),  # no restart_out
    ({"window": 2.5}, TypeError),
    ({"network": "/nonexistent/network.nc"}, OSError),
])
def test_what_cannot_be_run_raises(example, tmp_path, change, error):
    net, forcing = example
    arguments = dict(network=net, forcing=forcing, output=tmp_path / "results.nc")
    with pytest.raises(error):
        network.run(**{**arguments, **change})


def test_an_exception_in_progress_ends_the_run(example, tmp_path):
    net, forcing = example

    def stop(done, total):
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        network.run(network=net, forcing=forcing, output=tmp_path / "results.nc",
                    block_reaches=5, progress=stop)


def test_a_module_built_without_the_engine_says_so(monkeypatch):
    real = importlib.util.find_spec
    monkeypatch.setattr(importlib.util, "find_spec",
                        lambda name, *a: None if name == "tovalin._network" else real(name, *a))
    monkeypatch.delitem(sys.modules, "tovalin.network")
    with pytest.raises(ImportError, match="NetCDF and oneTBB"):
        importlib.import_module("tovalin.network")
