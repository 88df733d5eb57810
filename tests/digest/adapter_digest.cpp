// Digest of the eleven adapters' outputs over seeded random calls: for each adapter, thousands
// of calls (valid data, bad data, undefined values, odd counts and message widths) whose every
// output (arrays in full, scalars, status, message field) is hashed with 64-bit FNV-1a. Only
// the public C header is used, so the program builds against any version of the library:
//   adapter_digest [cases]   prints one line "name digest" per adapter.
// Two builds of the library return the same results bit for bit when their digests agree.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tovalin/tovalin.h"

namespace {

constexpr double kUndefined = -99999996802856924650656260769173209088.0;

// splitmix64: the same sequence on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double range(double lo, double hi) { return lo + (hi - lo) * unit(); }
  int integer(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1)); }
  bool chance(double p) { return unit() < p; }
  // A value, now and then replaced by one of the awkward ones.
  double odd(double value, double p) {
    if (!chance(p)) return value;
    switch (integer(0, 5)) {
      case 0: return kUndefined;
      case 1: return std::nan("");
      case 2: return 0.0;
      case 3: return -value;
      case 4: return value * 1e6;
      default: return INFINITY;
    }
  }

 private:
  std::uint64_t state_;
};

class Digest {
 public:
  void bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash_ = (hash_ ^ p[i]) * 0x100000001b3ULL;
  }
  void value(double v) { bytes(&v, sizeof v); }
  void value(int v) { bytes(&v, sizeof v); }
  void values(const std::vector<double>& v) { bytes(v.data(), v.size() * sizeof(double)); }
  void text(const std::string& s) { bytes(s.data(), s.size()); }
  std::uint64_t result() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

// Output storage pre-filled with a pattern, so that what a call leaves unwritten counts too.
std::vector<double> Outputs(std::size_t n) { return std::vector<double>(n, 12345.678); }

// A message field of a random width with random printable initial content (one spare byte).
std::string Message(Random& r, int& width) {
  static constexpr int kWidths[] = {0, 1, 7, 40, 60, 80, 127, -3};
  width = kWidths[r.integer(0, 7)];
  std::string s(static_cast<std::size_t>(std::max(width, 0) + 1), ' ');
  for (char& c : s) c = r.chance(0.5) ? ' ' : static_cast<char>(r.integer(33, 126));
  return s;
}

// A hydrograph rising to a peak and falling, with occasional odd ordinates.
std::vector<double> Flood(Random& r, std::size_t n, double base, double peak, double oddness) {
  std::vector<double> v(std::max<std::size_t>(n, 1));
  const double top = r.range(0.1, 0.6) * static_cast<double>(n);
  for (std::size_t i = 0; i < v.size(); ++i) {
    const double t = static_cast<double>(i);
    const double shape = t < top ? t / std::max(top, 1.0) : std::exp(-(t - top) / (0.3 * static_cast<double>(n) + 1.0));
    v[i] = r.odd(base + (peak - base) * shape + r.range(-0.01, 0.01) * peak, oddness);
  }
  return v;
}

// A table of n ascending pairs (now and then out of order or with equal neighbours).
std::vector<double> Table(Random& r, std::size_t n, double step) {
  std::vector<double> v(std::max<std::size_t>(n, 1));
  double x = r.chance(0.2) ? 0.0 : r.range(0.0, step);
  for (double& e : v) {
    e = x;
    x += r.chance(0.05) ? (r.chance(0.5) ? 0.0 : -step) : r.range(0.2, 1.0) * step;
  }
  return v;
}

std::uint64_t Muskingum(int cases) {
  Random r(1);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    int interval = r.chance(0.05) ? r.integer(-2, 0) : r.integer(1, 1440);
    double k = r.odd(r.range(0.1, 48.0), 0.05), x = r.odd(r.range(-0.05, 0.55), 0.03);
    int steps = r.chance(0.05) ? r.integer(-2, 0) : r.integer(1, 8);
    int n = r.chance(0.03) ? r.integer(-2, 0) : r.integer(1, 60);
    std::vector<double> initial = Flood(r, static_cast<std::size_t>(std::max(steps, 1)), 5.0, 10.0, 0.02);
    std::vector<double> finals = Outputs(initial.size());
    std::vector<double> inflows = Flood(r, static_cast<std::size_t>(std::max(n, 1)), 10.0, r.range(20, 500), 0.01);
    std::vector<double> outflows = Outputs(inflows.size());
    int width = 0, status = -7;
    std::string message = Message(r, width);
    routemuskingum_(&interval, &k, &x, &steps, initial.data(), finals.data(), &n, inflows.data(),
                    outflows.data(), &status, message.data(), width);
    d.values(finals), d.values(outflows), d.value(status), d.text(message);
  }
  return d.result();
}

// Puls tables and hydrograph of one call.
struct PulsCase {
  int interval, pairs, steps, n;
  std::vector<double> storage, outflow, elevation, initial, inflows;
};

PulsCase MakePuls(Random& r) {
  PulsCase p;
  p.interval = r.chance(0.04) ? r.integer(-1, 0) : r.integer(1, 180);
  p.pairs = r.chance(0.04) ? r.integer(-1, 1) : r.integer(2, 12);
  p.steps = r.chance(0.04) ? r.integer(-1, 0) : r.integer(1, 5);
  p.n = r.integer(1, 60);
  const std::size_t pairs = static_cast<std::size_t>(std::max(p.pairs, 1));
  p.outflow = Table(r, pairs, r.range(10, 200));
  p.storage = Table(r, pairs, r.range(1e4, 1e6));
  p.elevation = Table(r, pairs, r.range(0.1, 2.0));
  const double top = p.outflow.back();
  p.initial = Flood(r, static_cast<std::size_t>(std::max(p.steps, 1)), 0.1 * top, 0.3 * top, 0.03);
  p.inflows = Flood(r, static_cast<std::size_t>(p.n), 0.1 * top, r.range(0.2, 1.3) * top, 0.01);
  return p;
}

std::uint64_t Puls(int cases) {
  Random r(2);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    PulsCase p = MakePuls(r);
    std::vector<double> finals = Outputs(p.initial.size()), outflows = Outputs(p.inflows.size());
    int width = 0, status = -7;
    std::string message = Message(r, width);
    routepulschannel_(&p.interval, &p.pairs, p.storage.data(), p.outflow.data(), &p.steps,
                      p.initial.data(), finals.data(), &p.n, p.inflows.data(), outflows.data(),
                      &status, message.data(), width);
    d.values(finals), d.values(outflows), d.value(status), d.text(message);
  }
  return d.result();
}

std::uint64_t PulsWithLoss(int cases) {
  Random r(3);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    PulsCase p = MakePuls(r);
    double lossElevation = r.odd(r.range(-1.0, 1.5) * p.elevation.back(), 0.03);
    double lossRate = r.odd(r.range(0.0, 2e-5), 0.05);
    std::vector<double> finals = Outputs(p.initial.size()), outflows = Outputs(p.inflows.size());
    int width = 0, status = -7;
    std::string message = Message(r, width);
    RoutePulsChannelWithLoss_(&p.interval, &p.pairs, p.storage.data(), p.outflow.data(),
                              p.elevation.data(), &lossElevation, &lossRate, &p.steps,
                              p.initial.data(), finals.data(), &p.n, p.inflows.data(),
                              outflows.data(), &status, message.data(), width);
    d.values(finals), d.values(outflows), d.value(status), d.text(message);
  }
  return d.result();
}

// The reach and hydrograph of one Muskingum-Cunge call (section data drawn by the caller).
struct CungeCase {
  int interval, m, fromProfile, n;
  double length, slope;
  std::vector<double> initial, inflows, lateral;
};

CungeCase MakeCunge(Random& r) {
  CungeCase k;
  k.interval = r.chance(0.03) ? r.integer(-1, 0) : r.integer(5, 180);
  k.length = r.odd(r.range(500.0, 30000.0), 0.03);
  k.slope = r.odd(r.range(1e-4, 5e-3), 0.05);
  k.m = r.chance(0.03) ? r.integer(-1, 0) : r.integer(1, 6);
  k.fromProfile = r.chance(0.3) ? 1 : 0;
  k.n = r.chance(0.03) ? r.integer(-1, 0) : r.integer(1, 30);
  const double base = r.range(0.0, 30.0), peak = base + r.range(0.0, 400.0);
  k.initial = Flood(r, static_cast<std::size_t>(std::max(k.m, 1)), base, base * 1.2, 0.02);
  k.inflows = Flood(r, static_cast<std::size_t>(std::max(k.n, 1)), base, peak, 0.01);
  k.lateral = Flood(r, static_cast<std::size_t>(std::max(k.n, 1)), 0.0, r.chance(0.5) ? 0.0 : 1e-3, 0.005);
  return k;
}

struct CungeScalars {
  std::vector<double> values = Outputs(9);
};

void HashCunge(Digest& d, const std::vector<double>& finals, const std::vector<double>& outflows,
               const CungeScalars& s, int status, const std::string& message) {
  d.values(finals), d.values(outflows), d.values(s.values), d.value(status), d.text(message);
}

std::uint64_t Cunge8Point(int cases) {
  Random r(4);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    CungeCase k = MakeCunge(r);
    std::array<double, 8> x{0, 10, 20, 20, 30, 30, 40, 50}, y{10, 5, 5, 0, 0, 5, 5, 10};
    const double scale = r.range(0.5, 4.0);
    for (double& v : x) v = r.odd(v * scale + r.range(-1.0, 1.0), 0.01);
    for (double& v : y) v = v * r.range(0.5, 2.0);
    std::array<double, 3> n{r.odd(r.range(0.03, 0.1), 0.03), r.odd(r.range(0.02, 0.06), 0.03),
                            r.odd(r.range(0.03, 0.1), 0.03)};
    std::vector<double> finals = Outputs(k.initial.size()), outflows = Outputs(k.inflows.size());
    CungeScalars s;
    double* o = s.values.data();
    int width = 0, status = -7;
    std::string message = Message(r, width);
    if (width < 80) message.resize(81, ' '), width = 80;
    RouteMuskingumCunge8Point_(&k.interval, &k.length, &k.slope, x.data(), y.data(), n.data(),
                               &k.m, &k.fromProfile, k.initial.data(), finals.data(), &k.n,
                               k.inflows.data(), k.lateral.data(), outflows.data(), o, o + 1,
                               o + 2, o + 3, o + 4, o + 5, o + 6, o + 7, o + 8, &status,
                               message.data(), width);
    HashCunge(d, finals, outflows, s, status, message);
  }
  return d.result();
}

std::uint64_t CungePrism(int cases) {
  Random r(5);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    CungeCase k = MakeCunge(r);
    double n = r.odd(r.range(0.012, 0.08), 0.03);
    static constexpr const char* kShapes[] = {"CIRCLE", "CIRCLE    ", "TRAPEZOID", "circle", "CIRCLEX", ""};
    const std::string shape = kShapes[r.integer(0, 5)];
    const bool circle = shape.rfind("CIRCLE", 0) == 0;
    double width1 = r.odd(circle ? r.range(1.0, 8.0) : r.range(0.0, 40.0), 0.03);
    double sideSlope = r.odd(r.range(0.0, 3.0), 0.03);
    std::vector<double> finals = Outputs(k.initial.size()), outflows = Outputs(k.inflows.size());
    CungeScalars s;
    double* o = s.values.data();
    int width = 0, status = -7;
    std::string message = Message(r, width);
    RouteMuskingumCungePrism_(&k.interval, &k.length, &k.slope, &n, shape.data(), &width1,
                              &sideSlope, &k.m, &k.fromProfile, k.initial.data(), finals.data(),
                              &k.n, k.inflows.data(), k.lateral.data(), outflows.data(), o, o + 1,
                              o + 2, o + 3, o + 4, o + 5, o + 6, o + 7, o + 8, &status,
                              message.data(), width, static_cast<int>(shape.size()));
    HashCunge(d, finals, outflows, s, status, message);
  }
  return d.result();
}

// The four outputs, status and message of a depth routine.
void HashDepth(Digest& d, const std::array<double, 4>& out, int status, const std::string& message) {
  for (double v : out) d.value(v);
  d.value(status), d.text(message);
}

std::uint64_t DepthPrism(int cases) {
  Random r(6);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    double slope = r.odd(r.range(1e-4, 0.05), 0.05), n = r.odd(r.range(0.01, 0.1), 0.05);
    double b = r.odd(r.range(0.0, 30.0), 0.05), z = r.odd(r.range(0.0, 3.0), 0.05);
    double q = r.odd(r.range(0.0, 2000.0), 0.05), start = r.chance(0.5) ? 0.0 : r.odd(r.range(0.1, 5), 0.05);
    std::array<double, 4> out{1, 2, 3, 4};
    int width = 0, status = -7;
    std::string message = Message(r, width);
    channeldepthprism_(&slope, &n, &b, &z, &q, &start, &out[0], &out[1], &out[2], &out[3],
                       &status, message.data(), width);
    HashDepth(d, out, status, message);
  }
  return d.result();
}

std::uint64_t Depth8Point(int cases) {
  Random r(7);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    std::array<double, 8> x{0, 10, 20, 20, 30, 30, 40, 50}, y{10, 5, 5, 0, 0, 5, 5, 10};
    for (double& v : x) v = r.odd(v + r.range(-2.0, 2.0), 0.01);
    for (double& v : y) v = v + r.range(-1.0, 1.0);
    std::array<double, 3> n{r.odd(r.range(0.03, 0.1), 0.03), r.odd(r.range(0.02, 0.06), 0.03),
                            r.odd(r.range(0.03, 0.1), 0.03)};
    double slope = r.odd(r.range(1e-4, 0.01), 0.05), q = r.odd(r.range(0.0, 1500.0), 0.05);
    double start = r.chance(0.5) ? 0.0 : r.odd(r.range(0.1, 8), 0.05);
    std::array<double, 4> out{1, 2, 3, 4};
    int width = 0, status = -7;
    std::string message = Message(r, width);
    channeldepth8point_(&slope, x.data(), y.data(), n.data(), &q, &start, &out[0], &out[1],
                        &out[2], &out[3], &status, message.data(), width);
    HashDepth(d, out, status, message);
  }
  return d.result();
}

std::uint64_t DepthCircle(int cases) {
  Random r(8);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    double slope = r.odd(r.range(1e-4, 0.05), 0.05), n = r.odd(r.range(0.01, 0.03), 0.05);
    double diameter = r.odd(r.range(0.2, 5.0), 0.05), q = r.odd(r.range(0.0, 40.0), 0.05);
    std::array<double, 4> out{1, 2, 3, 4};
    int width = 0, status = -7;
    std::string message = Message(r, width);
    channeldepthcircle_(&slope, &n, &diameter, &q, &out[0], &out[1], &out[2], &out[3], &status,
                        message.data(), width);
    HashDepth(d, out, status, message);
  }
  return d.result();
}

std::uint64_t Interpolate(int cases) {
  Random r(9);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    int pairs = r.chance(0.05) ? r.integer(-1, 1) : r.integer(2, 20);
    int count = r.chance(0.05) ? r.integer(-1, 0) : r.integer(1, 10);
    std::vector<double> x = Table(r, static_cast<std::size_t>(std::max(pairs, 1)), 10.0);
    std::vector<double> y = Table(r, x.size(), 5.0);
    std::vector<double> values(static_cast<std::size_t>(std::max(count, 1)));
    for (double& v : values) v = r.odd(r.range(-5.0, x.back() + 5.0), 0.05);
    std::vector<double> out = Outputs(values.size());
    int width = 0, status = -7;
    std::string message = Message(r, width);
    interpolatelinear_(&pairs, x.data(), y.data(), &count, values.data(), out.data(), &status,
                       message.data(), width);
    d.values(out), d.value(status), d.text(message);
  }
  return d.result();
}

std::uint64_t Decode(int cases) {
  Random r(10);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    int status = static_cast<int>(r.chance(0.5) ? r.integer(0, 40) * 512 + r.integer(0, 63) * 8 + r.integer(0, 7)
                                                : static_cast<std::int32_t>(r.next()));
    int width = 0, number = -1, severity = -1;
    std::string name = Message(r, width);
    decodeerrorcode_(&status, name.data(), &number, &severity, width);
    d.value(number), d.value(severity), d.text(name);
  }
  return d.result();
}

std::uint64_t Resample(int cases) {
  Random r(11);
  Digest d;
  for (int c = 0; c < cases; ++c) {
    double oldInterval = r.odd(r.range(1.0, 120.0), 0.03), newInterval = r.odd(r.range(1.0, 120.0), 0.03);
    int oldCount = r.chance(0.03) ? r.integer(-1, 0) : r.integer(1, 40);
    int newCount = r.chance(0.03) ? r.integer(-1, 0) : r.integer(1, 80);
    std::vector<double> series = Flood(r, static_cast<std::size_t>(std::max(oldCount, 1)), 1.0, 50.0, 0.03);
    std::vector<double> out = Outputs(static_cast<std::size_t>(std::max(newCount, 1)));
    changetimeinterval_(&oldInterval, &newInterval, &oldCount, &newCount, series.data(), out.data());
    d.values(out);
  }
  return d.result();
}

}  // namespace

int main(int argc, char** argv) {
  const int cases = argc > 1 ? std::atoi(argv[1]) : 3000;
  struct Entry {
    const char* name;
    std::uint64_t (*run)(int);
  };
  const Entry entries[] = {{"routemuskingum_", Muskingum},
                           {"routepulschannel_", Puls},
                           {"RoutePulsChannelWithLoss_", PulsWithLoss},
                           {"RouteMuskingumCunge8Point_", Cunge8Point},
                           {"RouteMuskingumCungePrism_", CungePrism},
                           {"channeldepthprism_", DepthPrism},
                           {"channeldepth8point_", Depth8Point},
                           {"channeldepthcircle_", DepthCircle},
                           {"interpolatelinear_", Interpolate},
                           {"decodeerrorcode_", Decode},
                           {"changetimeinterval_", Resample}};
  for (const Entry& e : entries)
    std::printf("%s %016llx\n", e.name, static_cast<unsigned long long>(e.run(cases)));
  return 0;
}
