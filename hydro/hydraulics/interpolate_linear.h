// Straight-line interpolation in an x-y table: each value is bracketed by the neighbouring
// pairs x(n) <= v < x(n+1) and y = (y(n+1) - y(n)) * (v - x(n)) / (x(n+1) - x(n)) + y(n)
// (e.g. Press et al., Numerical Recipes, 3.1 and 3.4, bracketing by bisection and by
// walking on from the previous bracket). No extrapolation and no clamping: a value outside
// the table, or on two equal x values with different y values, gives the undefined value.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>

#include "hydro/messages/catalogue.h"
#include "hydro/messages/message_text.h"
#include "hydro/messages/text_field.h"

namespace tovalin {

// Looks up valueCount values xValues in the table (xTable(k), yTable(k)), k = 1..pairCount.
//   pairCount    number of pairs; xTable and yTable hold that many (any unit each)
//   xTable       independent values, ascending (equal neighbours allowed; order not checked)
//   valueCount   number of values to look up; xValues and yValues hold that many
// yValues(i) receives the interpolated value, the undefined value for an undefined xValues(i)
// (not a failure) and for every failing value. status: 0, or routine 25 with the message
// number of the latest failure, severity 4: 11 below the table, 12 above it, 13 on two equal
// x values with different y values, 14 valueCount < 1 (yValues(1) becomes undefined when
// yValues has an element), 15 pairCount < 1 or a single pair whose x differs from the value.
// message holds the text of the latest failure and is left as passed when nothing fails.
// The first value searched in a call starts from the middle of the table and halves; each
// later value walks on from the bracket of the previous one. Nothing is kept between calls.
// Spans shorter than their counts limit the pairs and values used.
void InterpolateLinear(std::int32_t pairCount, std::span<const double> xTable,
                       std::span<const double> yTable, std::int32_t valueCount,
                       std::span<const double> xValues, std::span<double> yValues,
                       std::int32_t& status, TextField message) noexcept;

namespace interpolation {

// Message numbers of the lookup failures.
inline constexpr int kBelowTable = message::kLookupBelow.number;
inline constexpr int kAboveTable = message::kLookupAbove.number;
inline constexpr int kTwoDependentValues = message::kLookupTwoValues.number;
inline constexpr int kNoValue = message::kLookupNoValue.number;
inline constexpr int kTooFewPairs = message::kLookupTooFewPairs.number;

// One value looked up: the result, the failure's message number (0 for none), and the lower
// index n (1-based) of the bracket where the search ended (0 when no search ran).
struct Lookup {
  double value;
  int failure;
  std::int32_t lower;
};

// Bracket search for v in a table of pairs >= 2 pairs. The halving search starts at
// n = pairs / 2 with upper limit h = pairs; the walking search starts at n = start
// (1..pairs-1) and moves one pair at a time. A table x value that is not a number counts as
// not above v wherever it is met, so both searches end on any table.
template <bool kHalving>
inline Lookup SearchTable(const double* x, const double* y, std::int32_t pairs, double v,
                          std::int32_t start) noexcept {
  std::int32_t limit = pairs;
  std::int32_t n = kHalving ? pairs / 2 : start;
  for (;;) {
    const std::int32_t u = n + 1;
    const double xn = x[n - 1];
    const double xu = x[u - 1];
    if (xu > v) {
      if (!(xn > v)) {
        // Inside the table: x(n) <= v < x(u).
        if (v == xn) return {y[n - 1], 0, n};
        const double width = xu - xn;
        // f = (v - x(n)) / d;  y = (y(u) - y(n)) f + y(n)
        const double fraction = (v - xn) / width;
        return {(y[u - 1] - y[n - 1]) * fraction + y[n - 1], 0, n};
      }
      // Below the table.
      if (n <= 1) return {undefinedDbl(), kBelowTable, n};
      if constexpr (kHalving) {
        limit = n;
        n = n / 2;
      } else {
        n = n - 1;
      }
    } else {
      if (v == xu) {
        // On x(u); two equal x values must agree on y.
        if (xn != xu || y[n - 1] == y[u - 1]) return {y[u - 1], 0, n};
        return {undefinedDbl(), kTwoDependentValues, n};
      }
      // Above the table.
      if (u >= pairs) return {undefinedDbl(), kAboveTable, n};
      if constexpr (kHalving) {
        n = n + (limit - n) / 2;
      } else {
        n = u;
      }
    }
  }
}

// One value looked up in a table of pairs pairs (any count): undefined values, tables of
// fewer than two pairs, then the search (halving, or walking on from start).
template <bool kHalving>
inline Lookup LookUpValue(std::span<const double> xTable, std::span<const double> yTable,
                          std::int32_t pairs, double v, std::int32_t start) noexcept {
  if (isUndefinedDbl(v)) return {undefinedDbl(), 0, 0};
  if (pairs < 1) return {undefinedDbl(), kTooFewPairs, 0};
  if (pairs == 1) {
    if (v == xTable[0]) return {yTable[0], 0, 0};
    return {undefinedDbl(), kTooFewPairs, 0};
  }
  return SearchTable<kHalving>(xTable.data(), yTable.data(), pairs, v, start);
}

// Number of pairs usable: pairCount, limited to both tables, 0 when below 1.
inline std::int32_t UsablePairs(std::int32_t pairCount, std::span<const double> xTable,
                                std::span<const double> yTable) noexcept {
  if (pairCount < 1) return 0;
  const std::size_t pairs =
      std::min({static_cast<std::size_t>(pairCount), xTable.size(), yTable.size()});
  return static_cast<std::int32_t>(pairs);
}

// Writes the text of a failed lookup of v into message and returns the packed status
// (routine 25, severity 4).
std::int32_t ReportLookupFailure(const Lookup& lookup, double v, std::span<const double> xTable,
                                 std::span<const double> yTable, std::int32_t pairs,
                                 TextField message) noexcept;

}  // namespace interpolation

// One value looked up exactly as InterpolateLinear looks up a single value (valueCount = 1),
// with the pair count taken from the shorter table: returns the result and sets status and
// message as InterpolateLinear does.
inline double InterpolateLinearValue(std::span<const double> xTable,
                                     std::span<const double> yTable, double value,
                                     std::int32_t& status, TextField message) noexcept {
  const std::int32_t pairs = interpolation::UsablePairs(
      std::numeric_limits<std::int32_t>::max(), xTable, yTable);
  const interpolation::Lookup lookup =
      interpolation::LookUpValue<true>(xTable, yTable, pairs, value, 0);
  status = 0;
  if (lookup.failure != 0) [[unlikely]]
    status = interpolation::ReportLookupFailure(lookup, value, xTable, yTable, pairs, message);
  return lookup.value;
}

}  // namespace tovalin
