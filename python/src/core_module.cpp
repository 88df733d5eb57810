// tovalin._tovalin: the C++ API's routing calls on numpy arrays. The package's Python layer
// (tovalin/__init__.py) checks and converts the arguments and builds the result objects; the
// functions here take one-dimensional contiguous float64 arrays and plain numbers, route with
// the interpreter lock released, and return the result's parts as tuples: outflows (a new
// array), status, text, volume account, the method's diagnostics and the state.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include <tovalin/core.hpp>

namespace py = pybind11;

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;
using OptionalArray = std::optional<Array>;

std::span<const double> View(const Array& a) {
  return {a.data(), static_cast<std::size_t>(a.size())};
}
std::span<const double> View(const OptionalArray& a) {
  return a ? View(*a) : std::span<const double>{};
}

// A new array for n outflows, zeroed (every routine writes each ordinate; zeros make any that
// were not written reproducible), and the span the routine writes into.
struct Outflows {
  py::array_t<double> array;
  std::span<double> span;

  explicit Outflows(std::size_t n) : array(static_cast<py::ssize_t>(n)) {
    span = {array.mutable_data(), n};
    std::fill(span.begin(), span.end(), 0.0);
  }
  tovalin::RouteOptions options(bool depthAndVelocity = false) const {
    return {{}, span, depthAndVelocity};
  }
};

py::array_t<double> Copy(std::span<const double> values) {
  py::array_t<double> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

// Text written by the routines is ASCII; anything else would come through as a replacement.
py::str Text(std::string_view text) {
  PyObject* s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
  if (!s) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

py::tuple StatusTuple(const tovalin::Status& s) {
  const std::string_view name = tovalin::RoutineName(s.routine);
  return py::make_tuple(s.routine, s.messageNumber, static_cast<std::int32_t>(s.severity), s.code(),
                        Text(name));
}

py::tuple VolumeTuple(const tovalin::VolumeAccount& v) {
  return py::make_tuple(v.inflow, v.outflow, v.storageStart, v.storageEnd, v.loss,
                        v.balanceError, v.relativeError);
}

// A status as the Python layer passes it back: (routine, message number, severity).
tovalin::Status StatusOf(const py::tuple& t) {
  return {t[0].cast<std::int32_t>(), t[1].cast<std::int32_t>(),
          static_cast<tovalin::Severity>(t[2].cast<std::int32_t>())};
}

py::tuple CungeStateTuple(const tovalin::MuskingumCungeStateView& s) {
  return py::make_tuple(s.computationInterval, s.subreachCount, Copy(s.nodeFlows),
                        Copy(s.nodeDepths), s.lastInflow);
}

py::tuple DiscretisationTuple(const tovalin::MuskingumCungeDiscretisation& d) {
  return py::make_tuple(d.computationInterval, d.subreachCount, d.referenceFlow,
                        StatusTuple(d.status));
}

// Depth and velocity per ordinate, when the call was asked for them.
py::object Asked(bool asked, std::span<const double> values) {
  if (!asked) return py::none();
  return Copy(values);
}

py::tuple StepStateTuple(const tovalin::StepStateView& s) {
  return py::make_tuple(Copy(s.outflows), Copy(s.grossOutflows), Copy(s.storageIndicators),
                        s.lastInflow);
}

py::dict PulsDiagnosticsDict(const tovalin::PulsDiagnostics& d) {
  py::dict out;
  out["ordinates_outside_table"] = d.ordinatesOutsideTable;
  out["first_outside_ordinate"] = d.firstOutsideOrdinate;
  out["first_outside_step"] = d.firstOutsideStep;
  out["failed_interpolations"] = d.failedInterpolations;
  return out;
}

py::dict CungeDiagnosticsDict(const tovalin::MuskingumCungeDiagnostics& d) {
  py::dict out;
  out["computation_interval"] = d.computationInterval;
  out["subreach_length"] = d.subreachLength;
  out["subreach_count"] = d.subreachCount;
  out["computation_steps"] = d.computationSteps;
  out["courant_min"] = d.courantMin;
  out["courant_max"] = d.courantMax;
  out["reynolds_min"] = d.reynoldsMin;
  out["reynolds_max"] = d.reynoldsMax;
  out["depth_computations"] = d.depthComputations;
  out["passes_max"] = d.passesMax;
  out["passes_mean"] = d.passesMean;
  out["subreach_steps"] = d.subreachSteps;
  out["non_converged"] = d.nonConverged;
  out["failed_depth_searches"] = d.failedDepthSearches;
  out["clamped_outflows"] = d.clampedOutflows;
  out["peak_outflow"] = d.peakOutflow;
  out["peak_time_minutes"] = d.peakTimeMinutes;
  out["peak_found"] = d.peakFound;
  out["max_celerity"] = d.maxCelerity;
  out["interval_written"] = d.intervalWritten;
  out["subreach_length_written"] = d.subreachLengthWritten;
  out["initial_storage_written"] = d.initialStorageWritten;
  out["routed"] = d.routed;
  return out;
}

// The state a Muskingum or Puls call starts from, when given.
struct StepStart {
  OptionalArray outflows, grossOutflows, storageIndicators;
  double lastInflow = 0.0;

  std::optional<tovalin::StepStateView> view() const {
    if (!outflows) return std::nullopt;
    return tovalin::StepStateView{View(outflows), View(grossOutflows), View(storageIndicators),
                                  lastInflow};
  }
};

py::tuple RouteMuskingum(const Array& inflows, std::int32_t intervalMinutes, double kHours,
                         double x, std::int32_t steps, const StepStart& start) {
  const tovalin::MuskingumReach reach{kHours, x, steps};
  const tovalin::Hydrograph hydrograph{intervalMinutes, View(inflows), {}};
  const std::optional<tovalin::StepStateView> state = start.view();
  Outflows out(hydrograph.flows.size());
  tovalin::Workspace workspace;
  tovalin::MuskingumResult r;
  {
    py::gil_scoped_release unlocked;
    r = state ? tovalin::Route(reach, hydrograph, *state, workspace, out.options())
              : tovalin::Route(reach, hydrograph, workspace, out.options());
  }
  return py::make_tuple(out.array, StatusTuple(r.status), Text(r.text), VolumeTuple(r.volume),
                        StepStateTuple(r.state));
}

py::tuple RoutePuls(const Array& inflows, std::int32_t intervalMinutes, const Array& storage,
                    const Array& outflow, std::int32_t steps, bool withLoss,
                    const OptionalArray& elevation, double lossElevation, double lossRate,
                    const StepStart& start, bool depthAndVelocity) {
  tovalin::PulsReach reach;
  reach.storage = View(storage);
  reach.outflow = View(outflow);
  reach.steps = steps;
  reach.withLoss = withLoss;
  reach.elevation = View(elevation);
  reach.lossElevation = lossElevation;
  reach.lossRate = lossRate;
  const tovalin::Hydrograph hydrograph{intervalMinutes, View(inflows), {}};
  const std::optional<tovalin::StepStateView> state = start.view();
  Outflows out(hydrograph.flows.size());
  tovalin::Workspace workspace;
  tovalin::PulsResult r;
  {
    py::gil_scoped_release unlocked;
    const tovalin::RouteOptions options = out.options(depthAndVelocity);
    r = state ? tovalin::Route(reach, hydrograph, *state, workspace, options)
              : tovalin::Route(reach, hydrograph, workspace, options);
  }
  return py::make_tuple(out.array, StatusTuple(r.status), Text(r.text), VolumeTuple(r.volume),
                        StepStateTuple(r.state), PulsDiagnosticsDict(r.diagnostics),
                        Asked(depthAndVelocity, r.depth), Asked(depthAndVelocity, r.velocity));
}

// The section of a Muskingum-Cunge reach as the Python layer passes it: its kind and values,
// eight-point 8 stations, 8 elevations and 3 n; trapezoid bottom width, side slope and n;
// circle diameter and n.
enum SectionKind : int { kEightPoint = 0, kTrapezoid = 1, kCircle = 2 };

tovalin::ChannelSection Section(int kind, std::span<const double> v) {
  const auto at = [&](std::size_t i) { return i < v.size() ? v[i] : 0.0; };
  switch (kind) {
    case kEightPoint: {
      tovalin::EightPointSection s;
      for (std::size_t i = 0; i < 8; ++i) s.stations[i] = at(i), s.elevations[i] = at(8 + i);
      for (std::size_t i = 0; i < 3; ++i) s.manningN[i] = at(16 + i);
      return s;
    }
    case kTrapezoid:
      return tovalin::TrapezoidSection{at(0), at(1), at(2)};
    case kCircle:
      return tovalin::CircleSection{at(0), at(1)};
    default:
      throw py::value_error("unknown section kind");
  }
}

// How a Muskingum-Cunge call starts: one call from the profile; a continuation from a cold
// start at the reach's own discretisation, from the state, or from a cold start at the
// discretisation given.
enum CungeMode : int { kOneCall = 0, kCold = 1, kFromState = 2, kColdAtDiscretisation = 3 };

struct CungeStart {
  int mode = 0;
  tovalin::MuskingumCungeDiscretisation discretisation;
  OptionalArray profile;
  bool subreachesFromProfile = false;
  double computationInterval = 0.0;
  std::int32_t subreachCount = 0;
  OptionalArray nodeFlows, nodeDepths;
  double lastInflow = 0.0;
};

py::tuple RouteMuskingumCunge(const Array& inflows, std::int32_t intervalMinutes, double length,
                              double slope, int sectionKind, const Array& section,
                              const OptionalArray& lateral, const CungeStart& start,
                              bool depthAndVelocity) {
  const tovalin::MuskingumCungeReach reach{length, slope, Section(sectionKind, View(section))};
  const tovalin::Hydrograph hydrograph{intervalMinutes, View(inflows), View(lateral)};
  const tovalin::FlowProfile profile{View(start.profile), start.subreachesFromProfile};
  const tovalin::MuskingumCungeStateView state{start.computationInterval, start.subreachCount,
                                               View(start.nodeFlows), View(start.nodeDepths),
                                               start.lastInflow};
  Outflows out(hydrograph.flows.size());
  tovalin::Workspace workspace;
  tovalin::MuskingumCungeResult r;
  {
    py::gil_scoped_release unlocked;
    const tovalin::RouteOptions options = out.options(depthAndVelocity);
    switch (start.mode) {
      case kOneCall:
        r = tovalin::Route(reach, hydrograph, profile, workspace, options);
        break;
      case kCold:
        r = tovalin::Route(reach, hydrograph, workspace, options);
        break;
      case kColdAtDiscretisation:
        r = tovalin::Route(reach, hydrograph, start.discretisation, workspace, options);
        break;
      default:
        r = tovalin::Route(reach, hydrograph, state, workspace, options);
        break;
    }
  }
  py::object finalFlows = py::none();
  if (start.mode == kOneCall) finalFlows = Copy(r.finalFlows);
  py::object next = py::none();
  if (start.mode != kOneCall) next = CungeStateTuple(r.state);
  return py::make_tuple(out.array, StatusTuple(r.status), Text(r.text), VolumeTuple(r.volume),
                        CungeDiagnosticsDict(r.diagnostics), finalFlows, next,
                        Asked(depthAndVelocity, r.depth), Asked(depthAndVelocity, r.velocity));
}

tovalin::MuskingumCungeDiscretisation DiscretisationOf(double dt, std::int32_t subreaches,
                                                      double referenceFlow,
                                                      const py::tuple& status) {
  return {dt, subreaches, referenceFlow, StatusOf(status)};
}

py::tuple Started(const tovalin::StepStart& s) {
  return py::make_tuple(StepStateTuple(s.state.view()), StatusTuple(s.status), Text(s.text));
}

}  // namespace

PYBIND11_MODULE(_tovalin, m) {
  m.doc() = "The routing calls of tovalin's C++ API (use the package tovalin).";
  m.attr("__version__") = TOVALIN_VERSION;
  m.attr("UNDEFINED") = tovalin::kUndefined;
  m.attr("SECTION_EIGHT_POINT") = static_cast<int>(kEightPoint);
  m.attr("SECTION_TRAPEZOID") = static_cast<int>(kTrapezoid);
  m.attr("SECTION_CIRCLE") = static_cast<int>(kCircle);
  m.attr("ONE_CALL") = static_cast<int>(kOneCall);
  m.attr("COLD") = static_cast<int>(kCold);
  m.attr("FROM_STATE") = static_cast<int>(kFromState);
  m.attr("COLD_AT_DISCRETISATION") = static_cast<int>(kColdAtDiscretisation);

  m.def(
      "route_muskingum",
      [](const Array& inflows, std::int32_t interval, double k, double x, std::int32_t steps,
         const OptionalArray& stateOutflows, double lastInflow) {
        return RouteMuskingum(inflows, interval, k, x, steps, {stateOutflows, {}, {}, lastInflow});
      },
      py::arg("inflows"), py::arg("interval_minutes"), py::arg("k_hours"), py::arg("x"),
      py::arg("steps"), py::arg("state_outflows"), py::arg("last_inflow"));
  m.def(
      "route_puls",
      [](const Array& inflows, std::int32_t interval, const Array& storage, const Array& outflow,
         std::int32_t steps, bool withLoss, const OptionalArray& elevation, double lossElevation,
         double lossRate, const OptionalArray& stateOutflows, const OptionalArray& stateGross,
         const OptionalArray& stateIndicators, double lastInflow, bool depthAndVelocity) {
        return RoutePuls(inflows, interval, storage, outflow, steps, withLoss, elevation,
                         lossElevation, lossRate,
                         {stateOutflows, stateGross, stateIndicators, lastInflow},
                         depthAndVelocity);
      },
      py::arg("inflows"), py::arg("interval_minutes"), py::arg("storage"), py::arg("outflow"),
      py::arg("steps"), py::arg("with_loss"), py::arg("elevation"), py::arg("loss_elevation"),
      py::arg("loss_rate"), py::arg("state_outflows"), py::arg("state_gross_outflows"),
      py::arg("state_storage_indicators"), py::arg("last_inflow"),
      py::arg("depth_and_velocity"));
  m.def(
      "route_muskingum_cunge",
      [](const Array& inflows, std::int32_t interval, double length, double slope, int sectionKind,
         const Array& section, const OptionalArray& lateral, int mode,
         const OptionalArray& profile, bool subreachesFromProfile, double computationInterval,
         std::int32_t subreachCount, const OptionalArray& nodeFlows,
         const OptionalArray& nodeDepths, double lastInflow, double referenceFlow,
         const py::tuple& discretisationStatus, bool depthAndVelocity) {
        return RouteMuskingumCunge(
            inflows, interval, length, slope, sectionKind, section, lateral,
            {mode, DiscretisationOf(computationInterval, subreachCount, referenceFlow,
                                    discretisationStatus),
             profile, subreachesFromProfile, computationInterval, subreachCount, nodeFlows,
             nodeDepths, lastInflow},
            depthAndVelocity);
      },
      py::arg("inflows"), py::arg("interval_minutes"), py::arg("length"), py::arg("slope"),
      py::arg("section_kind"), py::arg("section"), py::arg("lateral_inflows"), py::arg("mode"),
      py::arg("profile"), py::arg("subreaches_from_profile"), py::arg("computation_interval"),
      py::arg("subreach_count"), py::arg("node_flows"), py::arg("node_depths"),
      py::arg("last_inflow"), py::arg("reference_flow"), py::arg("discretisation_status"),
      py::arg("depth_and_velocity"));

  m.def(
      "choose_discretisation",
      [](double length, double slope, int sectionKind, const Array& section, std::int32_t interval,
         double referenceFlow) {
        const tovalin::MuskingumCungeReach reach{length, slope,
                                                 Section(sectionKind, View(section))};
        return DiscretisationTuple(tovalin::ChooseDiscretisation(reach, interval, referenceFlow));
      },
      py::arg("length"), py::arg("slope"), py::arg("section_kind"), py::arg("section"),
      py::arg("interval_minutes"), py::arg("reference_flow"));
  m.def(
      "start_muskingum",
      [](double k, double x, std::int32_t steps, double initialFlow, double firstInflow) {
        return Started(tovalin::StartAtFlow(tovalin::MuskingumReach{k, x, steps}, initialFlow,
                                            firstInflow));
      },
      py::arg("k_hours"), py::arg("x"), py::arg("steps"), py::arg("initial_flow"),
      py::arg("first_inflow"));
  m.def(
      "start_puls",
      [](std::int32_t interval, const Array& storage, const Array& outflow, std::int32_t steps,
         bool withLoss, const OptionalArray& elevation, double lossElevation, double lossRate,
         bool atLevel, double value, double firstInflow) {
        tovalin::PulsReach reach;
        reach.storage = View(storage);
        reach.outflow = View(outflow);
        reach.steps = steps;
        reach.withLoss = withLoss;
        reach.elevation = View(elevation);
        reach.lossElevation = lossElevation;
        reach.lossRate = lossRate;
        return Started(atLevel ? tovalin::StartAtLevel(reach, interval, value, firstInflow)
                               : tovalin::StartAtFlow(reach, interval, value, firstInflow));
      },
      py::arg("interval_minutes"), py::arg("storage"), py::arg("outflow"), py::arg("steps"),
      py::arg("with_loss"), py::arg("elevation"), py::arg("loss_elevation"),
      py::arg("loss_rate"), py::arg("at_level"), py::arg("value"), py::arg("first_inflow"));
  m.def(
      "start_muskingum_cunge",
      [](double length, double slope, int sectionKind, const Array& section, double dt,
         std::int32_t subreaches, double referenceFlow, const py::tuple& status,
         double initialFlow, double firstInflow) {
        const tovalin::MuskingumCungeReach reach{length, slope,
                                                 Section(sectionKind, View(section))};
        const tovalin::MuskingumCungeStart s = tovalin::StartAtFlow(
            reach, DiscretisationOf(dt, subreaches, referenceFlow, status), initialFlow,
            firstInflow);
        return py::make_tuple(CungeStateTuple(s.state.view()), StatusTuple(s.status),
                              Text(s.text));
      },
      py::arg("length"), py::arg("slope"), py::arg("section_kind"), py::arg("section"),
      py::arg("computation_interval"), py::arg("subreach_count"), py::arg("reference_flow"),
      py::arg("status"), py::arg("initial_flow"), py::arg("first_inflow"));
}
