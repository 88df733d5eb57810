/*
 * tovalin: hydrologic channel routing, the adapters for native callers.
 *
 * Calling convention (that of Fortran): every argument is passed by reference; integers are
 * 32-bit `int`, reals are `double`; each text argument is the address of its characters with
 * its length passed by value after the last argument, in the order of the texts (a negative
 * length is taken as 0). A text is a fixed-width field, blank-padded, not zero-terminated;
 * the library never reads or writes outside it.
 *
 * Units: flows m3/s, lengths, widths, depths and elevations m, areas m2, storages and volumes
 * m3, slopes m/m, side slopes horizontal per unit vertical, Manning's n s/m^(1/3) (Manning's
 * formula with coefficient 1), celerities m/s. Hydrograph intervals are whole minutes;
 * Muskingum K is in hours; Muskingum-Cunge results are in seconds (computation interval) and
 * minutes (time of peak). Ordinate i of a hydrograph (from 0) lies at i * intervalMinutes.
 *
 * Array lengths: every array holds at least as many elements as the count that governs it
 * (named beside it below); an eight-point section is 8 stations, 8 elevations and 3
 * roughness values; a table is pairCount pairs, one value of each pair per array.
 *
 * Logical arguments (subreachesFromInitialFlows) are `int`: 0 is false, any other value true.
 *
 * Status and message: every routine but changetimeinterval_ and decodeerrorcode_ sets status
 * to 0 when it reported nothing, otherwise to routine number * 512 + message number * 8 +
 * severity, message numbers 1 to 10 being warnings (severity 2, every result computed) and
 * 11 and up errors (severity 4); decodeerrorcode_ unpacks it. A routine that reports nothing
 * leaves the message as passed; one that reports writes the whole field (several lines
 * separated by a line feed), so pass at least 80 characters to read any text in full.
 * A fault inside the library that no routine anticipated (it should never happen) never
 * escapes the call: the routing adapters then set every output to TOVALIN_UNDEFINED, status
 * to the routine's message 63 with severity 4, and the message to "Internal error: " and the
 * adapter's name.
 *
 * The undefined value TOVALIN_UNDEFINED marks a result that could not be computed; an
 * undefined or NaN input ordinate makes the outflows undefined from that ordinate on. Test
 * with tovalin_is_undefined(), which is also true for a NaN: an == test alone misses NaN.
 *
 * The routines keep no state between calls and may be called from many threads at once.
 */
#ifndef TOVALIN_TOVALIN_H
#define TOVALIN_TOVALIN_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TOVALIN_BUILDING_LIBRARY)
#define TOVALIN_API __attribute__((visibility("default")))
#else
#define TOVALIN_API
#endif

/* The undefined value: the single-precision -1.0e38 widened to double
   (-9.999999680285692e37, bits C7D2CED320000000). */
#define TOVALIN_UNDEFINED ((double)-1.0e38f)

/* Non-zero when value is the undefined value or not a number (C89 has no inline). */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
static inline int tovalin_is_undefined(double value) {
#else
static __inline__ int tovalin_is_undefined(double value) {
#endif
  return value == TOVALIN_UNDEFINED || value != value;
}

/* Muskingum routing through stepCount equal steps, each with storage constant
   muskingumK / stepCount (hours). muskingumX: weighting factor, 0 to 0.5.
   initialStepOutflows[stepCount] (in): each step's outflow at time 0.
   finalStepOutflows[stepCount] (out): each step's outflow at the last ordinate.
   inflows[ordinateCount] (in), outflows[ordinateCount] (out).
   An interval, K or step count not above 0, or x outside 0 to 0.5: message 12, severity 4,
   every outflow undefined. Coefficients outside the stability bounds: message 1, a warning. */
TOVALIN_API void routemuskingum_(const int* intervalMinutes, const double* muskingumK,
                                 const double* muskingumX, const int* stepCount,
                                 const double* initialStepOutflows, double* finalStepOutflows,
                                 const int* ordinateCount, const double* inflows,
                                 double* outflows, int* status, char* message,
                                 int messageLength);

/* Modified Puls routing through stepCount equal steps of a storage-outflow table, each step
   holding 1/stepCount of the storage. storageTable[pairCount] (m3) and
   outflowTable[pairCount] (m3/s), both ascending. Step outflows and hydrographs as for
   routemuskingum_ (inflows may be the same array as outflows). A value outside the table:
   message 12 with the lookup's text on the second line, routing goes on. */
TOVALIN_API void routepulschannel_(const int* intervalMinutes, const int* pairCount,
                                   const double* storageTable, const double* outflowTable,
                                   const int* stepCount, const double* initialStepOutflows,
                                   double* finalStepOutflows, const int* ordinateCount,
                                   const double* inflows, double* outflows, int* status,
                                   char* message, int messageLength);

/* Modified Puls routing with a channel loss, storage / (elevation - lossElevation) *
   lossRate (m/s), taken off every step's outflow while the surface stands above
   lossElevation (m). elevationTable[pairCount] (m) completes the table of routepulschannel_.
   initialStepOutflows are net (after the loss), finalStepOutflows gross (before it); the
   outflows are net and never below 0. */
TOVALIN_API void RoutePulsChannelWithLoss_(
    const int* intervalMinutes, const int* pairCount, const double* storageTable,
    const double* outflowTable, const double* elevationTable, const double* lossElevation,
    const double* lossRate, const int* stepCount, const double* initialStepOutflows,
    double* finalStepOutflows, const int* ordinateCount, const double* inflows,
    double* outflows, int* status, char* message, int messageLength);

/* Muskingum-Cunge routing through a reach of reachLength (m) and channelSlope (m/m) with one
   eight-point section: stations[8] and elevations[8] (m; points 1-3 left overbank, 3-6 main
   channel, 6-8 right overbank), manningN[3] (left overbank, main channel, right overbank).
   initialFlows[initialFlowCount] (in) and finalFlows[initialFlowCount] (out): the flow
   profile at the start and the end, evenly spaced from the upstream to the downstream end.
   subreachesFromInitialFlows (logical): initialFlowCount - 1 subreaches instead of the
   number computed from the celerity. inflows, lateralInflows (m3/s per m of reach) and
   outflows: ordinateCount values. Results (out): computationInterval (s), subreachLength
   (m), peakOutflow (m3/s, 0 when none is above 0), peakTimeMinutes (minutes after the first
   ordinate; left as passed when there is no peak), maxCelerity (m/s), initialStorage and
   finalStorage (m3 in the reach), inflowVolume (m3 in, upstream and lateral) and
   outflowVolume (m3 out). Refused data: message 12, severity 4, no routing. */
TOVALIN_API void RouteMuskingumCunge8Point_(
    const int* intervalMinutes, const double* reachLength, const double* channelSlope,
    const double* stations, const double* elevations, const double* manningN,
    const int* initialFlowCount, const int* subreachesFromInitialFlows,
    const double* initialFlows, double* finalFlows, const int* ordinateCount,
    const double* inflows, const double* lateralInflows, double* outflows,
    double* computationInterval, double* subreachLength, double* peakOutflow,
    double* peakTimeMinutes, double* maxCelerity, double* initialStorage,
    double* finalStorage, double* inflowVolume, double* outflowVolume, int* status,
    char* message, int messageLength);

/* Muskingum-Cunge routing through a trapezoid of bottomWidth (m) and sideSlope (horizontal
   per unit vertical; 0 is a rectangle), or a circular conduit when sectionShape is "CIRCLE"
   followed by nothing but blanks (bottomWidth is then the diameter and sideSlope is not
   used). manningN: one value. Everything else as for RouteMuskingumCunge8Point_. Two texts:
   the message's length comes first, then the shape's. */
TOVALIN_API void RouteMuskingumCungePrism_(
    const int* intervalMinutes, const double* reachLength, const double* channelSlope,
    const double* manningN, const char* sectionShape, const double* bottomWidth,
    const double* sideSlope, const int* initialFlowCount,
    const int* subreachesFromInitialFlows, const double* initialFlows, double* finalFlows,
    const int* ordinateCount, const double* inflows, const double* lateralInflows,
    double* outflows, double* computationInterval, double* subreachLength,
    double* peakOutflow, double* peakTimeMinutes, double* maxCelerity,
    double* initialStorage, double* finalStorage, double* inflowVolume,
    double* outflowVolume, int* status, char* message, int messageLength,
    int sectionShapeLength);

/* Normal depth in a trapezoid of bottomWidth (m) and sideSlope at flow (m3/s): depth (m),
   flowArea (m2), topWidth (m) and celerity dQ/dA (m/s), all out. initialDepth (m) starts
   the iteration when above 0; otherwise it starts at flow / 3. Invalid slope, roughness or
   section: an error and undefined outputs. */
TOVALIN_API void channeldepthprism_(const double* channelSlope, const double* manningN,
                                    const double* bottomWidth, const double* sideSlope,
                                    const double* flow, const double* initialDepth,
                                    double* depth, double* flowArea, double* topWidth,
                                    double* celerity, int* status, char* message,
                                    int messageLength);

/* Normal depth in an eight-point section (stations[8], elevations[8], manningN[3] as for
   RouteMuskingumCunge8Point_), measured from its lowest point. initialDepth (m) is the first
   estimate when above 0; otherwise the search starts at two thirds of the flow per metre of
   width between the bank stations (points 3 and 6). Outputs as for channeldepthprism_. */
TOVALIN_API void channeldepth8point_(const double* channelSlope, const double* stations,
                                     const double* elevations, const double* manningN,
                                     const double* flow, const double* initialDepth,
                                     double* depth, double* flowArea, double* topWidth,
                                     double* celerity, int* status, char* message,
                                     int messageLength);

/* Depth, flow area, top width and celerity in a circular conduit of the given diameter (m).
   Above a flow area of 0.65 * diameter^2 the depth is held at 0.771 * diameter with a
   two-line warning (message 2). */
TOVALIN_API void channeldepthcircle_(const double* channelSlope, const double* manningN,
                                     const double* diameter, const double* flow,
                                     double* depth, double* flowArea, double* topWidth,
                                     double* celerity, int* status, char* message,
                                     int messageLength);

/* Straight-line lookup of xValues[valueCount] in the table xTable[pairCount] (ascending),
   yTable[pairCount]; yValues needs max(valueCount, 1) elements. No extrapolation: a value
   outside the table, or on two equal x with different y, gives TOVALIN_UNDEFINED and an
   error; the other values are still looked up. */
TOVALIN_API void interpolatelinear_(const int* pairCount, const double* xTable,
                                    const double* yTable, const int* valueCount,
                                    const double* xValues, double* yValues, int* status,
                                    char* message, int messageLength);

/* Unpacks a status into the reporting routine's name, the message number and the severity.
   The name is written into the field routineName[routineNameLength], cut at its width or
   blank-padded to it: 32 characters hold any name ("Unknown Subroutine" for an unknown
   routine number). */
TOVALIN_API void decodeerrorcode_(const int* status, char* routineName, int* messageNumber,
                                  int* severity, int routineNameLength);

/* Resamples oldSeries[oldCount], spaced oldInterval, into newSeries[newCount], spaced
   newInterval (any unit, the same for both), both starting at time 0, by straight lines
   between neighbouring ordinates; past the last ordinate the last value is repeated. No
   status, no message, no text length. */
TOVALIN_API void changetimeinterval_(const double* oldInterval, const double* newInterval,
                                     const int* oldCount, const int* newCount,
                                     const double* oldSeries, double* newSeries);

#ifdef __cplusplus
}
#endif

#endif /* TOVALIN_TOVALIN_H */
