// tovalin._network: the network engine's run (network/engine.h) for tovalin.network. The run
// goes with the interpreter lock released; a progress callable is called with it held, on the
// calling thread, after each block of reaches. A file that cannot be read or written raises
// OSError; an input the engine refuses comes back in the summary, with nothing written.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <string>

#include "network/engine.h"

namespace py = pybind11;

namespace {

py::dict Summary(const tovalin::network::RunSummary& s) {
  py::dict out;
  out["refusal"] = py::cast(s.refusal);
  out["reaches"] = s.reaches;
  out["time_count"] = s.timeCount;
  out["clean"] = s.clean;
  out["with_warnings"] = s.withWarnings;
  out["failed"] = s.failed;
  out["upstream_failed"] = s.upstreamFailed;
  out["inflow_volume"] = s.inflowVolume;
  out["outlet_volume"] = s.outletVolume;
  out["storage_start"] = s.storageStart;
  out["storage_end"] = s.storageEnd;
  out["loss_volume"] = s.lossVolume;
  out["balance_error"] = s.balanceError;
  out["relative_error"] = s.balanceRelative;
  out["undefined_accounts"] = s.undefinedAccounts;
  out["outside_courant_band"] = s.outsideCourantBand;
  out["outside_courant_reaches"] = py::cast(s.outsideCourantReaches);
  out["read_seconds"] = s.readSeconds;
  out["route_seconds"] = s.routeSeconds;
  out["write_seconds"] = s.writeSeconds;
  out["threads"] = s.threads;
  out["subreach_steps"] = s.subreachSteps;
  out["report"] = s.BriefReport();
  return out;
}

py::dict Run(const std::string& network, const std::string& forcing, const std::string& output,
             const std::string& restartIn, const std::string& restartOut, int threads,
             std::int64_t blockReaches, std::int64_t window, std::int64_t restartEvery,
             bool depths, bool velocities, bool gauges, const py::object& progress) {
  tovalin::network::RunOptions options;
  options.networkPath = network;
  options.forcingPath = forcing;
  options.outputPath = output;
  options.restartInPath = restartIn;
  options.restartOutPath = restartOut;
  options.threads = threads;
  options.blockReaches = blockReaches;
  options.window = window;
  options.restartEvery = restartEvery;
  options.depths = depths;
  options.velocities = velocities;
  options.gauges = gauges;
  if (!progress.is_none()) {
    // An exception raised by the callable ends the run (the output is left incomplete).
    options.progress = [&progress](std::int64_t done, std::int64_t total) {
      py::gil_scoped_acquire locked;
      progress(done, total);
    };
  }
  tovalin::network::RunSummary summary;
  {
    py::gil_scoped_release unlocked;
    summary = tovalin::network::Run(options);
  }
  return Summary(summary);
}

}  // namespace

PYBIND11_MODULE(_network, m) {
  m.doc() = "The network engine of tovalin (use tovalin.network).";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const tovalin::network::FileError& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    }
  });
  m.def("run", &Run, py::arg("network"), py::arg("forcing"), py::arg("output"),
        py::arg("restart_in"), py::arg("restart_out"), py::arg("threads"),
        py::arg("block_reaches"), py::arg("window"), py::arg("restart_every"), py::arg("depths"), py::arg("velocities"), py::arg("gauges"),
        py::arg("progress"));
}
