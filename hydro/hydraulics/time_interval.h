// Resampling of a series given at one fixed interval onto another fixed interval by
// straight-line interpolation between neighbouring ordinates (linear interpolation in time,
// e.g. Chapra & Canale, Numerical Methods for Engineers, 18.1). Both series start at time 0;
// the two intervals are in one unit, whichever it is.
#pragma once

#include <cstdint>
#include <span>

namespace tovalin {

// Produces newCount ordinates at newInterval from oldCount ordinates at oldInterval.
//   oldInterval   interval of the given series (any time unit; not 0)
//   newInterval   interval of the series to produce (same unit)
//   oldCount      number of given ordinates; oldSeries holds them
//   newCount      number of ordinates to produce into newSeries
// The first produced value is oldSeries(1) and the last is oldSeries(oldCount), whatever their
// times; an inner ordinate at or beyond the last given time repeats the last given value, and
// one whose bracketing given ordinates include an undefined value is undefined. There is no
// status: the routine cannot fail.
// Outside the usual ranges: a count larger than its span is taken as the span's size, and a
// count below 1 as 0; with no ordinate to produce nothing is written, and with no given
// ordinate every produced ordinate is the undefined value. An inner ordinate whose time lies
// before the first given ordinate (a negative interval) takes oldSeries(1); one whose time
// ratio is not a number (both intervals 0) is undefined. With oldInterval 0 every inner
// ordinate lies beyond the series and repeats its last value.
void ChangeTimeInterval(double oldInterval, double newInterval, std::int32_t oldCount,
                        std::int32_t newCount, std::span<const double> oldSeries,
                        std::span<double> newSeries) noexcept;

}  // namespace tovalin
