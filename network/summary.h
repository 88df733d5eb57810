// What a run did, like a solver's summary: the reaches counted by outcome, the network's
// volume account and the times; and the network's volume account itself, kept reach by reach
// as results are written (in any order) and summed at the end in ascending reach_id, so that
// its sums depend neither on the routing order nor on how the network was shared out among
// processes. Volumes m3.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "network/network.h"
#include "network/reach_routing.h"
#include "network/topology.h"
#include "tovalin/result.hpp"

namespace tovalin::network {

// A reach's failure mark: 0 sound, 1 its routine failed, 2 a reach upstream failed; beside
// it, in the marks a run carries, kStartFailure when the reach or a reach above it failed at
// its start (a state or start refused, nothing routed): the one failure that changes the first
// inflow of the reaches below it.
inline constexpr std::uint8_t kReachFailed = 1;
inline constexpr std::uint8_t kUpstreamFailed = 2;
inline constexpr std::uint8_t kStartFailure = 4;
// The failure mark among a run's marks.
inline constexpr std::uint8_t FailureOf(std::uint8_t marks) noexcept {
  return marks & std::uint8_t{3};
}

// The band of the Courant number ck dt / dx where Muskingum-Cunge routes accurately: within a
// factor of five of 1, the value its discretisation aims at (see docs/network.md).
inline constexpr double kCourantBandLow = 0.2;
inline constexpr double kCourantBandHigh = 5.0;
// Reaches named in the summary for a kind of finding; the rest are counted.
inline constexpr std::size_t kNamedSummaryReaches = 10;

struct RunSummary {
  Problems refusal;  // non-empty: the input was refused and nothing routed
  std::int64_t reaches = 0;
  std::int64_t timeCount = 0;
  std::int64_t windows = 1, windowLength = 0;  // the run in windows of windowLength ordinates
  std::int64_t restartsWritten = 0;
  std::int64_t clean = 0;           // routed without a report
  std::int64_t withWarnings = 0;    // routed with a warning
  std::int64_t failed = 0;          // a routine reported an error
  std::int64_t upstreamFailed = 0;  // routed, but a reach upstream failed
  // The network's volume account, m3 (the undefined value where it cannot be known):
  //   inflowVolume  the forcing's own: every reach's lateral and boundary inflow on the
  //                 forcing's times, trapezoidal (the same for any discretisation), and the
  //                 forcing's unrouted inflow
  //   outletVolume  the outlets' outflow as written, on the same times, and the unrouted
  //                 inflow, which leaves as it enters
  //   unroutedVolume  the forcing's unrouted_inflow on its times, trapezoidal (0 where it has
  //                 none): in both of the above, never stored
  //   storageStart, storageEnd  the reaches' storage at the first and last time, summed over
  //                 the reaches whose account is defined
  //   lossVolume    the channel loss, summed likewise
  //   balanceError  inflow - outlet - (end - start) - loss; undefined when a reach's account
  //                 is undefined (its storage or loss unknown)
  //   balanceRelative  the error over inflow + storage at the start; undefined below 1 m3
  double inflowVolume = 0.0, outletVolume = 0.0, storageStart = 0.0, storageEnd = 0.0;
  double lossVolume = 0.0;
  double unroutedVolume = 0.0;
  bool unroutedGiven = false;  // the forcing has an unrouted_inflow
  double balanceError = kUndefined;
  double balanceRelative = kUndefined;
  std::int64_t undefinedAccounts = 0;  // reaches whose storage or loss is undefined
  // Muskingum-Cunge reaches whose Courant range leaves [kCourantBandLow, kCourantBandHigh],
  // and the first kNamedSummaryReaches of them in ascending reach_id (process 0).
  std::int64_t outsideCourantBand = 0;
  std::vector<ReachId> outsideCourantReaches;
  std::int64_t subreachSteps = 0;  // the Muskingum-Cunge reaches' subreach-steps, summed
  double readSeconds = 0.0, routeSeconds = 0.0, writeSeconds = 0.0;
  int threads = 0;

  bool Failed() const noexcept { return failed > 0 || upstreamFailed > 0; }
  std::string BriefReport() const;
};

// Counts a routed reach in the summary by its failure mark (FailureOf) and outcome, and adds
// its subreach-steps.
void CountReach(std::uint8_t mark, const ReachOutcome& outcome, RunSummary& summary) noexcept;

// The network's volume account: what each reach adds (see RunSummary), kept by file index,
// summed in ascending reach_id.
class NetworkAccount {
 public:
  explicit NetworkAccount(std::size_t reaches);
  // The figures of reach `reach` (file index); `outlet` when it leaves the network.
  void Keep(std::int64_t reach, const ReachOutcome& outcome, bool outlet) noexcept;
  // The summary's volumes, balance error, undefined accounts and reaches outside the Courant
  // band; `ids` gives every reach's id by file index. The summary's unroutedVolume (set
  // before) joins the inflow and the outflow.
  void Sum(std::span<const ReachId> ids, RunSummary& summary) const;

 private:
  // The forcing's inflow, the outflow if an outlet (else 0), storage at start and end, loss.
  static constexpr std::size_t kTerms = 5;
  std::vector<double> volumes_;
  std::vector<std::uint8_t> outsideBand_;
};

// The summary's counts and volumes as the results file's global attributes.
std::vector<std::pair<std::string, double>> SummaryAttributes(const RunSummary& summary);

}  // namespace tovalin::network
