// A river network in memory: one record per reach, the ragged data (Puls tables, eight-point
// sections) in flat arrays addressed by start and count, and the forcing of a run.
// Flows m3/s, lengths m, slopes m/m, K in hours, times in whole minutes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "network/netcdf_values.h"
#include "tovalin/result.hpp"

namespace tovalin::network {

// A reach's identifier: any positive 64-bit integer (the national models' ids pass 2^31).
using ReachId = std::int64_t;

// The routing method of a reach, as stored in the network file's `method` variable.
enum class Method : std::int32_t {
  kMuskingum = 1,
  kPuls = 2,
  kPulsWithLoss = 3,
  kMuskingumCunge8Point = 4,
  kMuskingumCungePrism = 5,
};
inline constexpr std::int32_t kFirstMethod = 1;
inline constexpr std::int32_t kLastMethod = 5;
// The flag_meanings attribute of `method`, in the order of the values above.
inline constexpr const char* kMethodMeanings =
    "muskingum puls puls_with_loss muskingum_cunge_8point muskingum_cunge_prism";

// An integer parameter that the file does not give.
inline constexpr std::int32_t kMissingInteger = -2147483647;

// One reach. Parameters a method does not use hold whatever the file holds (its fill value).
// The optional variables that describe the reach or its start read as undefined
// (kUndefined, kMissingInteger) where the file does not give them.
struct Reach {
  ReachId id = 0;
  ReachId toId = 0;  // 0: an outlet
  Method method = Method::kMuskingum;
  // Muskingum and Puls
  double muskingumK = 0.0;  // h
  double muskingumX = 0.0;
  std::int32_t stepCount = 1;
  // Puls: pairs [tableStart, tableStart + tableCount) of the flat tables
  std::int64_t tableStart = 0;
  std::int32_t tableCount = 0;
  double lossElevation = 0.0;  // m
  double lossRate = 0.0;       // m/s
  // Muskingum-Cunge
  double reachLength = 0.0;            // m
  double channelSlope = 0.0;           // m/m
  double manningN = 0.0;               // main channel (both sections)
  double leftOverbankManningN = 0.0;   // eight-point section only
  double rightOverbankManningN = 0.0;  // eight-point section only
  bool circle = false;                 // sectionShape "CIRCLE"
  double bottomWidth = 0.0;            // m (diameter of a circle)
  double sideSlope = 0.0;              // z, horizontal per vertical
  std::int64_t sectionStart = 0;       // first of the eight points in the flat section arrays
  // Muskingum-Cunge: the flow that fixes the reach's computation interval and subreach count
  double referenceFlow = kUndefined;  // m3/s
  // The start of a run from given flows: the reach's flow, and a lake's level (Puls)
  double initialFlow = kUndefined;   // m3/s
  double initialLevel = kUndefined;  // m
  // Description: stream order, and the reach's midpoint
  std::int32_t order = kMissingInteger;  // Horton-Strahler
  double latitude = kUndefined;          // degrees north
  double longitude = kUndefined;         // degrees east
};

inline constexpr int kSectionPoints = 8;

struct Network {
  std::vector<Reach> reaches;  // in file order
  // Flat Puls tables (storage m3, outflow m3/s, elevation m) shared by all Puls reaches.
  std::vector<double> storageTable, outflowTable, elevationTable;
  // Flat eight-point sections (station m, elevation m), eight values per section.
  std::vector<double> sectionStations, sectionElevations;
  // The gauge of each reach (in file order, an empty text where none), or empty: no gauges.
  std::vector<std::string> gages;
  // Values the file holds that cannot be taken (an id that is not a whole number, ...), for
  // validation to report; the values concerned read as missing.
  std::vector<std::string> readProblems;
};

// The ordinates first .. first + count - 1 of a run's time axis (0 the first time).
struct Ordinates {
  std::int64_t first = 0;
  std::int64_t count = 0;
  std::int64_t end() const noexcept { return first + count; }
};

// The time axis and boundary layout of a forcing file; the flows are read in blocks.
struct ForcingLayout {
  std::int32_t intervalMinutes = 0;  // 0: the axis is not uniform in whole minutes
  std::int64_t timeCount = 0;
  Instant firstTime;
  TimeUnits timeUnits;                    // as the forcing states them: results and restarts keep them
  std::vector<ReachId> reachIds;          // the forcing's reach order
  std::vector<ReachId> boundaryReachIds;  // reaches with an upstream boundary hydrograph
  // Values the file holds that cannot be taken (its time axis, an id), for validation.
  std::vector<std::string> readProblems;
};

}  // namespace tovalin::network
