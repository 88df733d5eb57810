// The runoff that catchment models hand to the router at nexus points, as CSV files in either
// of the two forms that exist, told apart by the file's name:
//   YYYYMMDDhhmmNEXOUT.csv  one file per time: "feature_id,YYYYMMDDhhmm", then "N,value" lines
//   nex-N_output.csv        one file per nexus: "index, YYYY-MM-DD hh:mm:ss, value" lines
// Times UTC, flows m3/s. Each nexus's flow enters the channel at the nexus: it is the lateral
// inflow of the flowpath the nexus drains into; a terminal nexus's flow leaves unrouted.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "network/import/hydrofabric.h"

namespace tovalin::network::import {

// A time as whole minutes since 1970-01-01 00:00 UTC.
using UtcMinutes = std::int64_t;
inline constexpr const char* kUtcMinutesUnits = "minutes since 1970-01-01 00:00:00";

// "2021-08-23 13:00" (UTC).
std::string FormatUtc(UtcMinutes minutes);
// "YYYYMMDDhhmm" and "YYYY-MM-DD hh:mm:ss" (or with a `T`), seconds 00; empty otherwise.
std::optional<UtcMinutes> ParseCompactTime(std::string_view text);
std::optional<UtcMinutes> ParseIsoTime(std::string_view text);

enum class NexusOutputForm { kPerTime, kPerNexus };
// The form a file's name (its last path component) gives, none for any other name.
std::optional<NexusOutputForm> FormOfName(std::string_view path);

// The nexus output files of a run, checked against the network's nexus points: one form only,
// times sorted, uniform (whole minutes), at least two, none missing or repeated; every nexus
// of the network at every time; ids the network lacks skipped and counted. Throws
// RefusedInput (naming files, lines, nexus points and times) or FileError (a file that cannot
// be read). Memory: the per-time form keeps only the list of files and reads one file per
// ReadTime; the per-nexus form keeps every time and value (16 bytes a nexus and time).
class NexusOutputs {
 public:
  // networkNexuses: the network's nexus numbers, ascending.
  NexusOutputs(std::span<const std::string> paths, std::span<const std::int64_t> networkNexuses);

  NexusOutputForm form() const noexcept { return form_; }
  const std::vector<UtcMinutes>& times() const noexcept { return times_; }
  std::int32_t intervalMinutes() const noexcept { return interval_; }
  // One line on the ids skipped, empty when none was.
  const std::string& skipped() const noexcept { return skipped_; }
  // The flow of each network nexus (in the order given) at times()[t], m3/s.
  void ReadTime(std::size_t t, std::vector<double>& flows) const;

 private:
  NexusOutputForm form_ = NexusOutputForm::kPerTime;
  std::vector<std::int64_t> nexuses_;
  std::vector<std::string> files_;   // per time: the file of times_[t]
  std::vector<std::vector<std::pair<UtcMinutes, double>>> series_;  // per nexus: every time
  std::vector<UtcMinutes> times_;
  std::int32_t interval_ = 0;
  std::string skipped_;
};

// Where each nexus's flow goes: the lateral inflow of the basin link it drains into, or out
// of the network unrouted (terminal nexus points).
class NexusLateral {
 public:
  explicit NexusLateral(const Hydrofabric& fabric);
  // The nexus numbers, ascending: the order of the flows Assemble takes.
  const std::vector<std::int64_t>& nexusIds() const noexcept { return nexusIds_; }
  // Lateral inflow of each of the basin's links (its order), m3/s: the flows of the nexus
  // points draining into it, summed in ascending nexus number (0 for a link no nexus drains
  // into: a headwater). Returns the flow of the terminal nexus points, summed likewise.
  double Assemble(std::span<const double> nexusFlows, std::span<double> lateral) const;

 private:
  std::vector<std::int64_t> nexusIds_;
  std::vector<std::int64_t> target_;  // link index per nexus, -1 terminal
};

}  // namespace tovalin::network::import
