// Straight-line table lookup of a series of values: the first value searched in a call is
// bracketed by halving from the middle of the table, each later one by walking on from the
// previous bracket (Press et al., Numerical Recipes, 3.1), and the failures are written as
// message texts that name the value and the table values it ran into.
#include "hydro/hydraulics/interpolate_linear.h"

#include <algorithm>
#include <string_view>

#include "hydro/messages/status_code.h"

namespace tovalin {
namespace {

constexpr std::string_view kTwoValuesJoint = " and";
// The trailer after the last number: it merges with the blanks that fill the field.
constexpr std::string_view kClosingTrailer = " ";

}  // namespace

namespace interpolation {

std::int32_t ReportLookupFailure(const Lookup& lookup, double v, std::span<const double> xTable,
                                 std::span<const double> yTable, std::int32_t pairs,
                                 TextField message) noexcept {
  const auto n = static_cast<std::size_t>(lookup.lower);
  switch (lookup.failure) {
    case kBelowTable:
      AppendDoubleToString(message::kLookupLabel, v, message::kLookupBelow.detail, message);
      AppendDoubleToString(message.view(), xTable[0], kClosingTrailer, message);
      break;
    case kAboveTable:
      AppendDoubleToString(message::kLookupLabel, v, message::kLookupAbove.detail, message);
      AppendDoubleToString(message.view(), xTable[static_cast<std::size_t>(pairs) - 1],
                           kClosingTrailer, message);
      break;
    case kTwoDependentValues:
      // y(n) and y(u) = y(n + 1), both inside the table since 1 <= n <= pairs - 1.
      AppendDoubleToString(message::kLookupLabel, v, message::kLookupTwoValues.detail, message);
      AppendDoubleToString(message.view(), yTable[n - 1], kTwoValuesJoint, message);
      AppendDoubleToString(message.view(), yTable[n], kClosingTrailer, message);
      break;
    case kNoValue:
      message.assign(message::kLookupNoValue.text);
      break;
    default:
      message.assign(message::kLookupTooFewPairs.text);
      break;
  }
  return EncodeErrorCode(routine::kInterpolateLinear, lookup.failure, kSeverityError);
}

}  // namespace interpolation

void InterpolateLinear(std::int32_t pairCount, std::span<const double> xTable,
                       std::span<const double> yTable, std::int32_t valueCount,
                       std::span<const double> xValues, std::span<double> yValues,
                       std::int32_t& status, TextField message) noexcept {
  using interpolation::Lookup;
  Report report;
  if (valueCount < 1) {
    const Lookup noValue{undefinedDbl(), interpolation::kNoValue, 0};
    if (!yValues.empty()) yValues[0] = noValue.value;
    status = interpolation::ReportLookupFailure(noValue, noValue.value, xTable, yTable, 0, message);
    return;
  }

  const std::int32_t pairs = interpolation::UsablePairs(pairCount, xTable, yTable);
  const std::size_t values =
      std::min({static_cast<std::size_t>(valueCount), xValues.size(), yValues.size()});
  // Lower index of the bracket where the latest search of this call ended; 0 until a search
  // has run, so the first search of the call halves from the middle of the table.
  std::int32_t lower = 0;
  for (std::size_t i = 0; i < values; ++i) {
    const double v = xValues[i];
    const Lookup lookup =
        lower == 0 ? interpolation::LookUpValue<true>(xTable, yTable, pairs, v, lower)
                   : interpolation::LookUpValue<false>(xTable, yTable, pairs, v, lower);
    if (lookup.lower != 0) lower = lookup.lower;
    yValues[i] = lookup.value;
    if (lookup.failure != 0) {
      report.error(lookup.failure);
      interpolation::ReportLookupFailure(lookup, v, xTable, yTable, pairs, message);
    }
  }
  status = report.status(routine::kInterpolateLinear);
}

}  // namespace tovalin
