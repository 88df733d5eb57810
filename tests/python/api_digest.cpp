// Routes a few hydrographs through every method of the C++ API and prints, per case, a digest
// of its inputs and a digest of everything its result holds (outflows, status, text, volume
// account, diagnostics, state or final flows), 64-bit FNV-1a over little-endian bytes. The
// Python tests route the same cases through tovalin and compute the same digests: equal
// digests mean results equal bit for bit.
//   python_api_digest   prints one line "case input-digest result-digest" per case
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <tovalin/core.hpp>

namespace {

class Digest {
 public:
  void byte(unsigned char b) { hash_ = (hash_ ^ b) * 0x100000001b3ULL; }
  void word(std::uint64_t w) {
    for (int i = 0; i < 8; ++i) byte(static_cast<unsigned char>(w >> (8 * i)));
  }
  void real(double v) {
    std::uint64_t w;
    std::memcpy(&w, &v, sizeof w);
    word(w);
  }
  void integer(std::int64_t v) { word(static_cast<std::uint64_t>(v)); }
  void reals(std::span<const double> v) {
    integer(static_cast<std::int64_t>(v.size()));
    for (double x : v) real(x);
  }
  void text(std::string_view s) {
    integer(static_cast<std::int64_t>(s.size()));
    for (char c : s) byte(static_cast<unsigned char>(c));
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

void Common(Digest& d, const tovalin::RoutingResult& r) {
  d.reals(r.outflows);
  d.integer(r.status.routine);
  d.integer(r.status.messageNumber);
  d.integer(static_cast<std::int64_t>(r.status.severity));
  d.text(r.text);
  const tovalin::VolumeAccount& v = r.volume;
  for (double x : {v.inflow, v.outflow, v.storageStart, v.storageEnd, v.loss, v.balanceError,
                   v.relativeError})
    d.real(x);
}

// Depth and velocity, where the call was asked for them.
void DepthAndVelocity(Digest& d, const tovalin::RoutingResult& r, bool asked) {
  if (!asked) return;
  d.reals(r.depth);
  d.reals(r.velocity);
}

void Step(Digest& d, const tovalin::StepStateView& s) {
  d.reals(s.outflows);
  d.reals(s.grossOutflows);
  d.reals(s.storageIndicators);
  d.real(s.lastInflow);
}

std::uint64_t Of(const tovalin::MuskingumResult& r) {
  Digest d;
  Common(d, r);
  Step(d, r.state);
  return d.value();
}

std::uint64_t Of(const tovalin::PulsResult& r, bool depth = false) {
  Digest d;
  Common(d, r);
  const tovalin::PulsDiagnostics& g = r.diagnostics;
  d.integer(g.ordinatesOutsideTable);
  d.integer(g.firstOutsideOrdinate);
  d.integer(g.firstOutsideStep);
  d.integer(g.failedInterpolations);
  Step(d, r.state);
  DepthAndVelocity(d, r, depth);
  return d.value();
}

std::uint64_t Of(const tovalin::MuskingumCungeResult& r, bool continuation, bool depth = false) {
  Digest d;
  Common(d, r);
  const tovalin::MuskingumCungeDiagnostics& g = r.diagnostics;
  d.real(g.computationInterval);
  d.real(g.subreachLength);
  d.integer(g.subreachCount);
  d.integer(g.computationSteps);
  d.real(g.courantMin);
  d.real(g.courantMax);
  d.real(g.reynoldsMin);
  d.real(g.reynoldsMax);
  d.integer(g.depthComputations);
  d.integer(g.passesMax);
  d.real(g.passesMean);
  d.integer(g.subreachSteps);
  d.integer(g.nonConverged);
  d.integer(g.failedDepthSearches);
  d.integer(g.clampedOutflows);
  d.real(g.peakOutflow);
  d.real(g.peakTimeMinutes);
  d.integer(g.peakFound);
  d.real(g.maxCelerity);
  d.integer(g.intervalWritten);
  d.integer(g.subreachLengthWritten);
  d.integer(g.initialStorageWritten);
  d.integer(g.routed);
  if (continuation) {
    d.real(r.state.computationInterval);
    d.integer(r.state.subreachCount);
    d.reals(r.state.nodeFlows);
    d.reals(r.state.nodeDepths);
    d.real(r.state.lastInflow);
  } else {
    d.reals(r.finalFlows);
  }
  DepthAndVelocity(d, r, depth);
  return d.value();
}

struct Inflow {
  std::string name;
  std::int32_t intervalMinutes;
  std::vector<double> flows;
};

// The hydrographs, built from + - * / alone so that Python builds the same values.
std::vector<Inflow> Inflows() {
  Inflow flood{"flood", 15, {}};
  for (int i = 0; i <= 96; ++i) {
    const double s = i / 24.0;
    flood.flows.push_back(50.0 + 450.0 * (2.0 * s * s / (1.0 + s * s * s * s)));
  }
  Inflow gap{"gap", 60, {}};
  for (int i = 0; i <= 24; ++i) gap.flows.push_back(20.0 + 10.0 * (i < 12 ? i : 24 - i));
  gap.flows[7] = tovalin::kUndefined;
  return {flood, gap};
}

void Print(const std::string& name, std::uint64_t input, std::uint64_t result) {
  std::printf("%s %016llx %016llx\n", name.c_str(), static_cast<unsigned long long>(input),
              static_cast<unsigned long long>(result));
}

}  // namespace

int main() {
  tovalin::Workspace workspace;
  // Puls: a linear reservoir of 2 hours, 41 pairs; with loss, 2e-6 m/s above 1 m.
  std::vector<double> storage, outflow, elevation;
  for (int p = 0; p <= 40; ++p) {
    storage.push_back(7200.0 * 20.0 * p);
    outflow.push_back(20.0 * p);
    elevation.push_back(0.25 * p);
  }
  const tovalin::MuskingumReach muskingum{2.0, 0.1, 4};
  tovalin::PulsReach puls;
  puls.storage = storage, puls.outflow = outflow, puls.steps = 2;
  tovalin::PulsReach pulsLoss = puls;
  pulsLoss.withLoss = true, pulsLoss.elevation = elevation, pulsLoss.lossElevation = 1.0,
  pulsLoss.lossRate = 2e-6;
  const tovalin::MuskingumCungeReach trapezoid{20000.0, 0.001,
                                               tovalin::TrapezoidSection{20.0, 2.0, 0.035}};
  const tovalin::MuskingumCungeReach eightPoint{
      20000.0, 0.001,
      tovalin::EightPointSection{{0, 10, 20, 20, 60, 60, 70, 80},
                                 {10, 5, 5, 0, 0, 5, 5, 10},
                                 {0.08, 0.035, 0.08}}};
  const tovalin::MuskingumCungeReach circle{2000.0, 0.01, tovalin::CircleSection{6.0, 0.013}};
  const tovalin::MuskingumReach refused{2.0, 0.1, -1};
  tovalin::PulsReach pulsLevels = puls;  // the table's elevations, for a start at a level
  pulsLevels.elevation = elevation;

  for (const Inflow& in : Inflows()) {
    const std::vector<double>& q = in.flows;
    const std::vector<double> lateral(q.size(), 0.0005);
    const tovalin::Hydrograph plain{in.intervalMinutes, q, {}};
    const tovalin::Hydrograph withLateral{in.intervalMinutes, q, lateral};
    Digest plainInput, lateralInput;
    plainInput.integer(in.intervalMinutes);
    plainInput.reals(q);
    lateralInput = plainInput;
    lateralInput.reals(lateral);
    const std::uint64_t pi = plainInput.value(), li = lateralInput.value();
    const std::string n = in.name + ".";

    Print(n + "muskingum", pi, Of(tovalin::Route(muskingum, plain, workspace)));
    const std::vector<double> start{q[0] + 8.0, q[0] + 4.0, q[0] + 2.0, q[0] + 1.0};
    Print(n + "muskingum_state", pi,
          Of(tovalin::Route(muskingum, plain, {start, {}, {}, q[0]}, workspace)));
    Print(n + "muskingum_refused", pi, Of(tovalin::Route(refused, plain, workspace)));
    Print(n + "puls", pi, Of(tovalin::Route(puls, plain, workspace)));
    Print(n + "puls_with_loss", pi, Of(tovalin::Route(pulsLoss, plain, workspace)));
    const std::vector<double> profile3(3, q[0]), profile2(2, q[0]);
    Print(n + "cunge_trapezoid", pi,
          Of(tovalin::Route(trapezoid, plain, tovalin::FlowProfile{profile3}, workspace), false));
    Print(n + "cunge_eight_point", pi,
          Of(tovalin::Route(eightPoint, plain, tovalin::FlowProfile{profile2}, workspace), false));
    Print(n + "cunge_circle_lateral", li,
          Of(tovalin::Route(circle, withLateral, tovalin::FlowProfile{profile2}, workspace),
             false));
    Print(n + "cunge_continuation", pi, Of(tovalin::Route(trapezoid, plain, workspace), true));
    // Started from known flows, and at a discretisation chosen at a reference flow.
    const tovalin::MuskingumCungeDiscretisation grid =
        tovalin::ChooseDiscretisation(trapezoid, in.intervalMinutes, 200.0);
    Print(n + "cunge_discretised", pi, Of(tovalin::Route(trapezoid, plain, grid, workspace), true));
    const tovalin::MuskingumCungeStart cunge = tovalin::StartAtFlow(trapezoid, grid, q[0], q[0]);
    Print(n + "cunge_started", pi,
          Of(tovalin::Route(trapezoid, plain, cunge.state.view(), workspace), true));
    const tovalin::StepStart steps = tovalin::StartAtFlow(muskingum, q[0] + 5.0, q[0]);
    Print(n + "muskingum_started", pi,
          Of(tovalin::Route(muskingum, plain, steps.state.view(), workspace)));
    const tovalin::StepStart level =
        tovalin::StartAtLevel(pulsLevels, in.intervalMinutes, 2.0, q[0]);
    Print(n + "puls_level_start", pi,
          Of(tovalin::Route(puls, plain, level.state.view(), workspace)));
    // Depth and velocity per ordinate, asked for.
    tovalin::RouteOptions asked;
    asked.depthAndVelocity = true;
    Print(n + "puls_depth", pi, Of(tovalin::Route(pulsLevels, plain, workspace, asked), true));
    Print(n + "cunge_eight_point_depth", pi,
          Of(tovalin::Route(eightPoint, plain, tovalin::FlowProfile{profile2}, workspace, asked),
             false, true));
    Print(n + "cunge_continuation_depth", pi,
          Of(tovalin::Route(trapezoid, plain, workspace, asked), true, true));
  }
  return 0;
}
