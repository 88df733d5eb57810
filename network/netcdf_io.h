// The engine's files, netCDF-4 in the enhanced model (64-bit reach ids), read and written from
// one thread only (the NetCDF library is not thread-safe): the network, the forcing (read in blocks of
// reaches), the results (written in blocks of reaches, chunked for that) and the restart.
// Layouts and units are described in docs/network.md (Files).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "network/netcdf_values.h"
#include "network/network.h"
#include "network/reach_routing.h"

namespace tovalin::network {

// The reach dimension of a file being read, its name and length: `reach` (networks and
// forcings, and older results and restarts), else `reach_id` (the results and restarts this
// engine writes, along the coordinate variable of their ids); nullopt when neither.
std::optional<std::pair<std::string, std::size_t>> ReachDimension(const InputFile& file);

// Reads a network file. A parameter variable that is absent reads as undefined (integers as
// kMissingInteger), so that validation names the reaches that need it; so do the optional
// variables (referenceFlow, initial_flow, initial_level, order, lat, lon; gages: none).
Network ReadNetwork(const std::string& path);
// Every reach's reach_id, to_id, method, stepCount and reachLength (what the routing order,
// the partition's cost model and a restart's check need), no other parameter, table or
// section.
Network ReadNetworkLinks(const std::string& path);
// The reaches first..first+count-1 (file order) with every parameter, and of the Puls tables
// and eight-point sections only the span those reaches use, their starts counted from the
// span's first point (a start outside the file's arrays is left as it is).
Network ReadNetworkPart(const std::string& path, std::int64_t first, std::int64_t count);

// Writes a network file. Each optional variable is written where a reach gives it (a value
// other than undefined; gages where the network has them).
void WriteNetwork(const std::string& path, const Network& network);

// The forcing's optional flow that enters and leaves the basin unrouted, m3/s along time.
inline constexpr const char* kUnroutedInflow = "unrouted_inflow";

// An open forcing file.
class ForcingReader {
 public:
  explicit ForcingReader(const std::string& path);
  ~ForcingReader();
  ForcingReader(const ForcingReader&) = delete;
  ForcingReader& operator=(const ForcingReader&) = delete;

  const ForcingLayout& layout() const noexcept { return layout_; }
  // Lateral inflow of the reaches first..first+count-1 (forcing order) at every time,
  // time-major: values[t * count + j]. A fill or missing value reads as undefined.
  void ReadLateral(std::int64_t first, std::int64_t count, std::vector<double>& values);
  // Boundary inflow of boundary b at every time.
  void ReadBoundary(std::int64_t boundary, std::vector<double>& values);
  // The time axis as the file holds it, in layout().timeUnits.
  std::vector<double> ReadTimes();
  // The flow that enters the basin and leaves it unrouted (`unrouted_inflow(time)`, m3/s: the
  // terminal nexus points' of an imported hydrofabric) at every time; empty when the file has
  // none. A fill or missing value reads as undefined.
  std::vector<double> ReadUnrouted();

 private:
  InputFile file_;
  std::optional<Variable> lateral_, boundary_, unrouted_;
  std::vector<double> times_;
  ForcingLayout layout_;
};

// Writes a forcing file (the generator's output). lateralBlock(first, count, values) gives
// the lateral inflow of reaches first..first+count-1 time-major (values[t * count + j]);
// boundary holds the boundary hydrographs as boundary[t * boundaries + b].
void WriteForcing(
    const std::string& path, const ForcingLayout& layout, std::span<const double> times,
    const std::function<void(std::int64_t, std::int64_t, std::vector<double>&)>& lateralBlock,
    std::span<const double> boundary);

// The chunk shape of a forcing's lateral inflow written one time after another: a window of
// ordinates by a block of reaches, so that a run reading a window of ordinates for a block of
// reaches reads whole chunks (768 KiB each), and a writer of times holds one row of chunks.
struct ForcingChunk {
  std::size_t times;
  std::size_t reaches;
};
inline constexpr ForcingChunk kForcingChunk{24, 4096};

// Writes a forcing file in the engine's layout one time after another (every reach's lateral
// inflow at that time), without boundary inflows. It holds at most kForcingChunk.times times
// of every reach (kForcingChunk.times x reaches x 8 bytes) and writes them as one row of whole
// chunks, so that its memory does not grow with the number of times.
class ForcingSliceWriter {
 public:
  // times: in timeUnits (for instance "minutes since ..."), uniform.
  ForcingSliceWriter(const std::string& path, const TimeUnits& timeUnits,
                     std::span<const double> times, std::span<const ReachId> reachIds);
  ~ForcingSliceWriter();
  ForcingSliceWriter(const ForcingSliceWriter&) = delete;
  ForcingSliceWriter& operator=(const ForcingSliceWriter&) = delete;

  // The next time's lateral inflow, one value per reach in the order of reachIds (m3/s; the
  // undefined value where unknown). FileError past the last time or for another count.
  void Append(std::span<const double> lateral);
  // Writes what is held and closes the file; FileError unless every time was appended.
  void Close();

 private:
  void Flush();
  int id_ = -1;
  std::string path_;
  int lateralVar_ = -1;
  std::size_t times_ = 0, reaches_ = 0, appended_ = 0, flushed_ = 0;
  std::vector<double> held_;  // times appended_ - flushed_, time-major
};

// The gauges a network names: the file index and the text id of every reach whose `gages`
// is not blank, in file order (none where the file has no `gages`). Read a slab of reaches at
// a time, so that memory follows the gauges, not the reaches.
std::vector<std::pair<std::int64_t, std::string>> ReadGauges(const std::string& path);

// A gauge of the results: its text id, the id of its reach and the reach's routing position
// (its column in the results).
struct ResultsGauge {
  std::string id;
  ReachId reachId = 0;
  std::int64_t position = 0;
};

// What a results file holds beside every reach's outflow, status and figures: depth(time,
// reach_id) and velocity(time, reach_id), and with gauges gauge_outflow(time, gauge),
// gauge_id(gauge), gauge_reach_id(gauge) for the gauges listed (in the order of the gauge
// dimension; none: a gauge dimension of length 0).
struct ResultsContent {
  bool depths = false, velocities = false;
  bool gauges = false;
  std::vector<ResultsGauge> gaugeList;
};

// A results file being written, in blocks of consecutive reaches.
class ResultsWriter {
 public:
  ResultsWriter(const std::string& path, std::span<const double> times,
                const TimeUnits& timeUnits, std::int64_t reachCount, std::int64_t chunkReaches,
                const ResultsContent& content = {});
  ~ResultsWriter();
  ResultsWriter(const ResultsWriter&) = delete;
  ResultsWriter& operator=(const ResultsWriter&) = delete;

  // Writes reaches first..first+count-1: their ids, outflows (time-major, as ReadLateral),
  // outcomes and whether an upstream failure reached them; their depths and velocities (laid
  // as the outflows) where the file holds them, and the outflows of the gauges among them.
  void WriteBlock(std::int64_t first, std::span<const ReachId> ids,
                  std::span<const double> outflows, std::span<const ReachOutcome> outcomes,
                  std::span<const std::uint8_t> upstreamFailed,
                  std::span<const double> depths = {}, std::span<const double> velocities = {});
  // Global attributes of the summary, then closes the file.
  void Close(const std::vector<std::pair<std::string, double>>& summary);

 private:
  int id_ = -1;
  std::string path_;
  std::int64_t times_ = 0;
  int outflowVar_ = -1, depthVar_ = -1, velocityVar_ = -1, gaugeOutflowVar_ = -1;
  // (routing position, gauge) of every gauge, by position.
  std::vector<std::pair<std::int64_t, std::size_t>> gaugeAt_;
  std::vector<double> column_;  // one gauge's outflows, being written
};

// Every reach's states at the end of a run.
struct RestartData {
  TimeUnits timeUnits;       // the forcing's
  double time = 0.0;         // the run's last time, in timeUnits
  Instant instant;           // the same instant (as read)
  std::int32_t intervalMinutes = 0;
  std::vector<ReachId> reachIds;
  std::vector<std::int32_t> methods;
  std::vector<std::int64_t> stateStart;
  std::vector<std::int32_t> stateCount;
  std::vector<double> states;
  std::vector<double> lastInflow;
  std::vector<double> computationInterval;
  std::vector<std::int32_t> subreachCount;
  // Values the file holds that cannot be taken, for validation to report (no states are then
  // read).
  std::vector<std::string> readProblems;
};
void WriteRestart(const std::string& path, const RestartData& restart);
// Reads a restart file, every variable through the typed reading. With `wanted`, only the states of the reaches it accepts (by
// reach_id) are read, their stateStart then counted from the first value read, and the other
// reaches' stateStart is -1.
RestartData ReadRestart(const std::string& path,
                        const std::function<bool(ReachId reachId)>& wanted = nullptr);

}  // namespace tovalin::network
