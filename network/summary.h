// What a run did, like a solver's summary: the reaches counted by outcome, the network's
// volume account and the times; and the network's volume account itself, kept reach by reach
// as results are written (in any order) and summed at the end in ascending reach_id, so that
// its sums depend neither on the routing order nor on how the network was shared out among
// processes. Volumes m3.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "network/network.h"
#include "network/reach_routing.h"
#include "network/topology.h"

namespace tovalin::network {

// A reach's failure mark: 0 sound, 1 its routine failed, 2 a reach upstream failed.
inline constexpr std::uint8_t kReachFailed = 1;
inline constexpr std::uint8_t kUpstreamFailed = 2;

struct RunSummary {
  Problems refusal;  // non-empty: the input was refused and nothing routed
  std::int64_t reaches = 0;
  std::int64_t timeCount = 0;
  std::int64_t clean = 0;           // routed without a report
  std::int64_t withWarnings = 0;    // routed with a warning
  std::int64_t failed = 0;          // a routine reported an error
  std::int64_t upstreamFailed = 0;  // routed, but a reach upstream failed
  // Network volumes, m3: what entered (boundary and lateral), what left at the outlets, the
  // change of storage, the channel loss, and the balance error (in - out - change - loss) / in
  // over the reaches whose account is defined.
  double inflowVolume = 0.0, outletVolume = 0.0, storageChange = 0.0, lossVolume = 0.0;
  double balanceError = 0.0;
  std::int64_t undefinedAccounts = 0;
  double readSeconds = 0.0, routeSeconds = 0.0, writeSeconds = 0.0;
  int threads = 0;

  bool Failed() const noexcept { return failed > 0 || upstreamFailed > 0; }
  std::string BriefReport() const;
};

// Counts a routed reach in the summary by its failure mark and outcome.
void CountReach(std::uint8_t mark, const ReachOutcome& outcome, RunSummary& summary) noexcept;

// The network's volume account: what each reach adds, kept by file index, summed in ascending
// reach_id.
class NetworkAccount {
 public:
  explicit NetworkAccount(std::size_t reaches);
  // The figures of reach `reach` (file index); `outlet` when it leaves the network.
  void Keep(std::int64_t reach, const ReachOutcome& outcome, bool outlet) noexcept;
  // The summary's volumes, balance error and undefined accounts; `links` gives the ids.
  void Sum(const Network& links, RunSummary& summary) const;

 private:
  static constexpr std::size_t kTerms = 5;  // inflow, outflow, storage start and end, loss
  std::vector<double> volumes_;
  std::vector<std::uint8_t> outlet_;
};

// The summary's counts and volumes as the results file's global attributes.
std::vector<std::pair<std::string, double>> SummaryAttributes(const RunSummary& summary);

}  // namespace tovalin::network
