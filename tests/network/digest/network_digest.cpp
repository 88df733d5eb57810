// The engine's digest tool, on the netCDF library alone (so that it reads any file the engine
// writes, whatever the engine's own code becomes):
//   network_digest cut FORCING OUT FROM COUNT [EVERY SHIFT SCALE]
//     writes the ordinates FROM .. FROM+COUNT-1 of a forcing file; with EVERY > 0 the lateral
//     inflow of every EVERY-th reach (file positions 0, EVERY, ...) becomes SCALE x its value,
//     plus SHIFT at the first ordinate written.
//   network_digest warm NETWORK RESULTS ORDINATE OUT
//     writes a copy of a network file whose reaches start from initial flows: each reach's
//     initial_flow is its outflow at ORDINATE of a results file (as a model's flows at an
//     hour start a run).
//   network_digest sum NAME FILE
//     prints one line per quantity of a results or restart file, "NAME quantity hash": each
//     quantity hashed (64-bit FNV-1a) reach by reach in ascending reach_id, so that neither
//     the file's reach order nor its layout changes a hash, only the values. An undefined
//     value (the engine's, or any NaN) hashes as the undefined value.
// Exit status 0, 2 bad command line, 4 a file error.
#include <netcdf.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kUndefinedBits = 0xC7D2CED320000000ULL;

void Check(int status, const std::string& what) {
  if (status != NC_NOERR) throw std::runtime_error(what + ": " + nc_strerror(status));
}

struct File {
  int id = -1;
  File(const std::string& path, int mode, bool create) {
    Check(create ? nc_create(path.c_str(), mode, &id) : nc_open(path.c_str(), mode, &id), path);
  }
  ~File() {
    if (id >= 0) nc_close(id);
  }
  int Var(const char* name) const {
    int v = -1;
    Check(nc_inq_varid(id, name, &v), name);
    return v;
  }
  bool Has(const char* name) const {
    int v = -1;
    return nc_inq_varid(id, name, &v) == NC_NOERR;
  }
  std::size_t Dim(const char* name) const {
    int d = -1;
    std::size_t n = 0;
    if (nc_inq_dimid(id, name, &d) != NC_NOERR) return 0;
    Check(nc_inq_dimlen(id, d, &n), name);
    return n;
  }
  // Every value of a variable, as doubles or 64-bit integers.
  std::vector<double> Doubles(const char* name, std::size_t n) const {
    std::vector<double> v(n);
    if (n) Check(nc_get_var_double(id, Var(name), v.data()), name);
    return v;
  }
  std::vector<long long> Integers(const char* name, std::size_t n) const {
    std::vector<long long> v(n);
    if (n) Check(nc_get_var_longlong(id, Var(name), v.data()), name);
    return v;
  }
  std::string Text(int var, const char* attribute) const {
    std::size_t n = 0;
    if (nc_inq_attlen(id, var, attribute, &n) != NC_NOERR) return {};
    std::string s(n, '\0');
    Check(nc_get_att_text(id, var, attribute, s.data()), attribute);
    return s;
  }
};

// The length of the reach dimension: `reach_id` in results and restarts, `reach` in networks,
// forcings and files written before.
std::size_t ReachDim(const File& f) { return f.Dim("reach") ? f.Dim("reach") : f.Dim("reach_id"); }

// 64-bit FNV-1a over the bytes of the values fed, little-endian.
class Hash {
 public:
  void Add(std::uint64_t v) {
    for (int b = 0; b < 8; ++b) {
      h_ ^= (v >> (8 * b)) & 0xFFu;
      h_ *= 0x100000001B3ULL;
    }
  }
  void Add(long long v) { Add(static_cast<std::uint64_t>(v)); }
  void Add(double v) {
    Add(std::isnan(v) || std::bit_cast<std::uint64_t>(v) == kUndefinedBits
            ? kUndefinedBits
            : std::bit_cast<std::uint64_t>(v));
  }
  void Add(const std::string& s) {
    Add(static_cast<std::uint64_t>(s.size()));
    for (unsigned char c : s) {
      h_ ^= c;
      h_ *= 0x100000001B3ULL;
    }
  }
  void Print(const std::string& name, const char* quantity) const {
    std::printf("%s %s %016llx\n", name.c_str(), quantity, static_cast<unsigned long long>(h_));
  }

 private:
  std::uint64_t h_ = 0xCBF29CE484222325ULL;
};

// File positions of the reaches in ascending reach_id.
std::vector<std::size_t> ByReachId(const std::vector<long long>& ids) {
  std::vector<std::size_t> order(ids.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ids[a] < ids[b]; });
  return order;
}

void SumResults(const std::string& name, const File& f) {
  const std::size_t nt = f.Dim("time"), nr = ReachDim(f);
  const std::vector<long long> ids = f.Integers("reach_id", nr);
  const std::vector<std::size_t> order = ByReachId(ids);
  const std::vector<double> outflow = f.Doubles("outflow", nt * nr);
  const std::vector<long long> routine = f.Integers("status_routine", nr),
                               number = f.Integers("status_message", nr),
                               severity = f.Integers("status_severity", nr),
                               marked = f.Integers("upstream_failed", nr);
  const std::size_t chars = f.Dim("message_char");
  std::vector<char> text(nr * chars);
  if (nr && chars) Check(nc_get_var_text(f.id, f.Var("message"), text.data()), "message");
  Hash flows, statuses, marks;
  for (std::size_t j : order) {
    flows.Add(ids[j]);
    for (std::size_t t = 0; t < nt; ++t) flows.Add(outflow[t * nr + j]);
    std::string message(text.data() + j * chars, chars);
    message.erase(message.find_last_not_of(std::string(" \0", 2)) + 1);
    statuses.Add(ids[j]), statuses.Add(routine[j]), statuses.Add(number[j]);
    statuses.Add(severity[j]), statuses.Add(message);
    marks.Add(ids[j]), marks.Add(marked[j]);
  }
  flows.Print(name, "outflow");
  statuses.Print(name, "status");
  marks.Print(name, "upstream_failed");
}

void SumRestart(const std::string& name, const File& f) {
  const std::size_t nr = ReachDim(f), nv = f.Dim("state_value");
  const std::vector<long long> ids = f.Integers("reach_id", nr);
  const std::vector<long long> method = f.Integers("method", nr), start = f.Integers("state_start", nr),
                               count = f.Integers("state_count", nr),
                               subreaches = f.Integers("subreach_count", nr);
  const std::vector<double> values = f.Doubles("state", nv), last = f.Doubles("last_inflow", nr),
                            dt = f.Doubles("computation_interval", nr);
  double time = 0.0;
  long long interval = 0;
  Check(nc_get_var_double(f.id, f.Var("time"), &time), "time");
  Check(nc_get_var_longlong(f.id, f.Var("interval"), &interval), "interval");
  Hash states;
  states.Add(time), states.Add(interval);
  for (std::size_t j : ByReachId(ids)) {
    states.Add(ids[j]), states.Add(method[j]), states.Add(count[j]);
    for (long long k = 0; k < count[j]; ++k) {
      const long long at = start[j] + k;
      if (at < 0 || static_cast<std::size_t>(at) >= nv) throw std::runtime_error("state outside");
      states.Add(values[static_cast<std::size_t>(at)]);
    }
    states.Add(last[j]), states.Add(dt[j]), states.Add(subreaches[j]);
  }
  states.Print(name, "restart");
}

// The ordinates from .. from+count-1 of a forcing, with the lateral inflow of every `every`-th
// reach scaled and shifted at the first ordinate.
void Cut(const std::string& in, const std::string& out, std::size_t from, std::size_t count,
         std::size_t every, double shift, double scale) {
  const File f(in, NC_NOWRITE, false);
  const std::size_t nt = f.Dim("time"), nr = f.Dim("reach"), nb = f.Dim("boundary");
  if (from + count > nt || count < 1) throw std::runtime_error("ordinates outside the forcing");
  const std::vector<double> times = f.Doubles("time", nt);
  const std::vector<long long> ids = f.Integers("reach_id", nr);
  std::vector<double> lateral = f.Doubles("lateral_inflow", nt * nr);
  const std::vector<long long> boundaryIds = nb ? f.Integers("boundary_reach_id", nb) : std::vector<long long>{};
  const std::vector<double> boundary = nb ? f.Doubles("boundary_inflow", nt * nb) : std::vector<double>{};
  const std::string units = f.Text(f.Var("time"), "units");

  const File o(out, NC_NETCDF4 | NC_CLOBBER, true);
  int time = -1, reach = -1, b = -1, vTime = -1, vId = -1, vLat = -1, vBid = -1, vB = -1;
  Check(nc_def_dim(o.id, "time", count, &time), "time");
  Check(nc_def_dim(o.id, "reach", nr, &reach), "reach");
  Check(nc_def_var(o.id, "time", NC_DOUBLE, 1, &time, &vTime), "time");
  Check(nc_put_att_text(o.id, vTime, "units", units.size(), units.data()), "units");
  Check(nc_def_var(o.id, "reach_id", NC_INT64, 1, &reach, &vId), "reach_id");
  const int dims[2] = {time, reach};
  Check(nc_def_var(o.id, "lateral_inflow", NC_DOUBLE, 2, dims, &vLat), "lateral_inflow");
  if (nb) {
    Check(nc_def_dim(o.id, "boundary", nb, &b), "boundary");
    Check(nc_def_var(o.id, "boundary_reach_id", NC_INT64, 1, &b, &vBid), "boundary_reach_id");
    const int bdims[2] = {time, b};
    Check(nc_def_var(o.id, "boundary_inflow", NC_DOUBLE, 2, bdims, &vB), "boundary_inflow");
  }
  Check(nc_enddef(o.id), "definitions");
  Check(nc_put_var_double(o.id, vTime, times.data() + from), "time");
  Check(nc_put_var_longlong(o.id, vId, ids.data()), "reach_id");
  for (std::size_t j = 0; every > 0 && j < nr; j += every)
    for (std::size_t t = from; t < from + count; ++t)
      lateral[t * nr + j] = scale * lateral[t * nr + j] + (t == from ? shift : 0.0);
  Check(nc_put_var_double(o.id, vLat, lateral.data() + from * nr), "lateral_inflow");
  if (nb) {
    Check(nc_put_var_longlong(o.id, vBid, boundaryIds.data()), "boundary_reach_id");
    Check(nc_put_var_double(o.id, vB, boundary.data() + from * nb), "boundary_inflow");
  }
}

// A copy of a network with initial_flow from the outflows of a results file at an ordinate.
void Warm(const std::string& network, const std::string& results, std::size_t ordinate,
          const std::string& out) {
  std::vector<double> initial;
  {
    const File r(results, NC_NOWRITE, false);
    const std::size_t nt = r.Dim("time"), nr = ReachDim(r);
    if (ordinate >= nt) throw std::runtime_error("ordinate outside the results");
    const std::vector<long long> ids = r.Integers("reach_id", nr);
    const std::vector<double> outflow = r.Doubles("outflow", nt * nr);
    const File n(network, NC_NOWRITE, false);
    const std::vector<long long> order = n.Integers("reach_id", n.Dim("reach"));
    for (long long id : order) {
      const auto at = std::find(ids.begin(), ids.end(), id);
      if (at == ids.end()) throw std::runtime_error("a reach of the network not in the results");
      initial.push_back(outflow[ordinate * nr + static_cast<std::size_t>(at - ids.begin())]);
    }
  }
  std::filesystem::copy_file(network, out, std::filesystem::copy_options::overwrite_existing);
  const File o(out, NC_WRITE, false);
  int reach = -1, var = -1;
  Check(nc_inq_dimid(o.id, "reach", &reach), "reach");
  Check(nc_redef(o.id), "definitions");
  Check(nc_def_var(o.id, "initial_flow", NC_DOUBLE, 1, &reach, &var), "initial_flow");
  Check(nc_enddef(o.id), "definitions");
  Check(nc_put_var_double(o.id, var, initial.data()), "initial_flow");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  try {
    if (a.size() == 3 && a[0] == "sum") {
      const File f(a[2], NC_NOWRITE, false);
      if (f.Has("outflow"))
        SumResults(a[1], f);
      else
        SumRestart(a[1], f);
      return 0;
    }
    if (a.size() == 5 && a[0] == "warm") {
      Warm(a[1], a[2], std::stoul(a[3]), a[4]);
      return 0;
    }
    if ((a.size() == 5 || a.size() == 8) && a[0] == "cut") {
      const bool changed = a.size() == 8;
      Cut(a[1], a[2], std::stoul(a[3]), std::stoul(a[4]), changed ? std::stoul(a[5]) : 0,
          changed ? std::stod(a[6]) : 0.0, changed ? std::stod(a[7]) : 1.0);
      return 0;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "network_digest: %s\n", e.what());
    return 4;
  }
  std::fputs("usage: network_digest cut FORCING OUT FROM COUNT [EVERY SHIFT SCALE]\n"
             "       network_digest warm NETWORK RESULTS ORDINATE OUT\n"
             "       network_digest sum NAME FILE\n",
             stderr);
  return 2;
}
