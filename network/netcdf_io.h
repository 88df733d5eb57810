// The engine's files, netCDF-4 in the enhanced model (64-bit reach ids), read and written from
// one thread only (the NetCDF library is not thread-safe): the network, the forcing (read in
// blocks of reaches over a window of ordinates), the results (written in blocks of reaches
// window by window) and the restart. Layouts and units are described in docs/network.md
// (Files).
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

// The one chunk shape of every (time, reach) variable the engine, the generator and the
// importers write (the forcing's lateral_inflow and boundary_inflow, the results' outflow and
// every other series along them): 24 ordinates by 4096 reaches (768 KiB of doubles), fewer
// where the file has fewer. A run in windows of a multiple of 24 ordinates reads and writes
// whole chunks, each once; a writer of one time after another holds one row of chunks.
struct TimeSeriesChunk {
  std::size_t times;
  std::size_t reaches;
};
inline constexpr TimeSeriesChunk kTimeSeriesChunk{24, 4096};

// An open forcing file.
class ForcingReader {
 public:
  explicit ForcingReader(const std::string& path);
  ~ForcingReader();
  ForcingReader(const ForcingReader&) = delete;
  ForcingReader& operator=(const ForcingReader&) = delete;

  const ForcingLayout& layout() const noexcept { return layout_; }
  // Lateral inflow of the reaches first..first+count-1 (forcing order) at the ordinates given
  // (every time without them), time-major: values[t * count + j]. A fill or missing value reads
  // as undefined.
  void ReadLateral(std::int64_t first, std::int64_t count, std::vector<double>& values);
  void ReadLateral(std::int64_t first, std::int64_t count, Ordinates ordinates,
                   std::vector<double>& values);
  // Boundary inflow of boundary b at the ordinates given (every time without them).
  void ReadBoundary(std::int64_t boundary, std::vector<double>& values);
  void ReadBoundary(std::int64_t boundary, Ordinates ordinates, std::vector<double>& values);
  // The time axis as the file holds it, in layout().timeUnits.
  std::vector<double> ReadTimes();
  // The flow that enters the basin and leaves it unrouted (`unrouted_inflow(time)`, m3/s: the
  // terminal nexus points' of an imported hydrofabric) at every time; empty when the file has
  // none. A fill or missing value reads as undefined.
  std::vector<double> ReadUnrouted();

 private:
  Ordinates Checked(Ordinates ordinates) const;
  InputFile file_;
  std::optional<Variable> lateral_, boundary_, unrouted_;
  std::vector<double> times_;
  ForcingLayout layout_;
};

// Writes a forcing file (the generator's output) in rows of whole chunks (kTimeSeriesChunk):
// lateral(ordinates, first, count, values) gives the lateral inflow of reaches
// first..first+count-1 over the ordinates, time-major (values[t * count + j]); boundary holds
// the boundary hydrographs as boundary[t * boundaries + b].
void WriteForcing(const std::string& path, const ForcingLayout& layout,
                  std::span<const double> times,
                  const std::function<void(Ordinates, std::int64_t, std::int64_t,
                                           std::vector<double>&)>& lateral,
                  std::span<const double> boundary);

// Writes a forcing file in the engine's layout one time after another (every reach's lateral
// inflow at that time), without boundary inflows. It holds at most kTimeSeriesChunk.times times
// of every reach (kTimeSeriesChunk.times x reaches x 8 bytes) and writes them as one row of
// whole chunks, so that its memory does not grow with the number of times.
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

// A per-ordinate series of the results: a (time, reach_id) variable written window by window
// in blocks of reaches, chunked by kTimeSeriesChunk.
struct SeriesVariable {
  const char* name;
  const char* units;
  const char* longName;
};
inline constexpr SeriesVariable kOutflowSeries{"outflow", "m3 s-1", "outflow of the reach"};
inline constexpr SeriesVariable kDepthSeries{
    "depth", "m",
    "flow depth at the downstream end (Muskingum-Cunge), a lake's level above its level zero "
    "(Puls)"};
inline constexpr SeriesVariable kVelocitySeries{
    "velocity", "m s-1", "outflow over its flow area at the downstream end (Muskingum-Cunge)"};

// What a results file holds beside every reach's status and figures: its series (the first
// the outflow), and with gauges gauge_outflow(time, gauge), gauge_id(gauge),
// gauge_reach_id(gauge) for the gauges listed (in the order of the gauge dimension; none: a
// gauge dimension of length 0), chunked as the series.
struct ResultsContent {
  std::vector<SeriesVariable> series{kOutflowSeries};
  bool gauges = false;
  std::vector<ResultsGauge> gaugeList;
};

// A results file being written: its series window by window in blocks of consecutive reaches
// (the gauges' outflows with the outflows), and the reaches' figures (ids, outcomes, upstream
// marks) once the run is over.
class ResultsWriter {
 public:
  ResultsWriter(const std::string& path, std::span<const double> times,
                const TimeUnits& timeUnits, std::int64_t reachCount,
                const ResultsContent& content = {});
  ~ResultsWriter();
  ResultsWriter(const ResultsWriter&) = delete;
  ResultsWriter& operator=(const ResultsWriter&) = delete;

  // Writes series `series` (its index among those of the file) of reaches first..first+count-1
  // over the ordinates given: values time-major, values[t * count + j]; with the outflows
  // (series 0), the outflows of the gauges among those reaches.
  void WriteSeries(std::size_t series, std::int64_t first, std::int64_t count,
                   Ordinates ordinates, std::span<const double> values);
  // Writes reaches first..first+count-1: their ids, outcomes and whether an upstream failure
  // reached them.
  void WriteReaches(std::int64_t first, std::span<const ReachId> ids,
                    std::span<const ReachOutcome> outcomes,
                    std::span<const std::uint8_t> upstreamFailed);
  // Global attributes of the summary, then closes the file.
  void Close(const std::vector<std::pair<std::string, double>>& summary);

 private:
  int id_ = -1;
  std::string path_;
  std::int64_t times_ = 0, reaches_ = 0;
  std::vector<int> seriesVars_;
  int gaugeOutflowVar_ = -1;
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
// Writes a restart file: into a new file beside `path`, then renamed onto it, so that `path`
// holds either what it held before or the whole restart.
void WriteRestart(const std::string& path, const RestartData& restart);
// Reads a restart file, every variable through the typed reading. With `wanted`, only the states of the reaches it accepts (by
// reach_id) are read, their stateStart then counted from the first value read, and the other
// reaches' stateStart is -1.
RestartData ReadRestart(const std::string& path,
                        const std::function<bool(ReachId reachId)>& wanted = nullptr);

}  // namespace tovalin::network
