/*
 * tovalin: hydrologic channel routing, the adapters for native callers.
 *
 * Every argument is passed by reference, in the calling convention of Fortran: integers are
 * 32-bit, reals are doubles, and each text argument is the address of its characters with
 * its length passed by value after the last argument (a negative length is taken as 0).
 * A text is a fixed-width field, blank-padded; the library never writes outside it.
 * Every routine reports through status (0 when nothing was reported) and message.
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

/* Muskingum routing through stepCount equal steps; K in hours, interval in minutes. */
TOVALIN_API void routemuskingum_(const int* intervalMinutes, const double* muskingumK,
                                 const double* muskingumX, const int* stepCount,
                                 const double* initialStepOutflows, double* finalStepOutflows,
                                 const int* ordinateCount, const double* inflows,
                                 double* outflows, int* status, char* message,
                                 int messageLength);

/* Modified Puls routing through a storage-outflow table. */
TOVALIN_API void routepulschannel_(const int* intervalMinutes, const int* pairCount,
                                   const double* storageTable, const double* outflowTable,
                                   const int* stepCount, const double* initialStepOutflows,
                                   double* finalStepOutflows, const int* ordinateCount,
                                   const double* inflows, double* outflows, int* status,
                                   char* message, int messageLength);

/* Modified Puls routing with a channel loss above lossElevation. */
TOVALIN_API void RoutePulsChannelWithLoss_(
    const int* intervalMinutes, const int* pairCount, const double* storageTable,
    const double* outflowTable, const double* elevationTable, const double* lossElevation,
    const double* lossRate, const int* stepCount, const double* initialStepOutflows,
    double* finalStepOutflows, const int* ordinateCount, const double* inflows,
    double* outflows, int* status, char* message, int messageLength);

/* Muskingum-Cunge routing through an eight-point cross-section (metric units, seconds). */
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

/* Muskingum-Cunge routing through a trapezoid, or a circular conduit for "CIRCLE". */
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

/* Normal depth, area, top width and celerity in a trapezoid. */
TOVALIN_API void channeldepthprism_(const double* channelSlope, const double* manningN,
                                    const double* bottomWidth, const double* sideSlope,
                                    const double* flow, const double* initialDepth,
                                    double* depth, double* flowArea, double* topWidth,
                                    double* celerity, int* status, char* message,
                                    int messageLength);

/* Normal depth, area, top width and celerity in an eight-point section. */
TOVALIN_API void channeldepth8point_(const double* channelSlope, const double* stations,
                                     const double* elevations, const double* manningN,
                                     const double* flow, const double* initialDepth,
                                     double* depth, double* flowArea, double* topWidth,
                                     double* celerity, int* status, char* message,
                                     int messageLength);

/* Depth, area, top width and celerity in a circular conduit. */
TOVALIN_API void channeldepthcircle_(const double* channelSlope, const double* manningN,
                                     const double* diameter, const double* flow,
                                     double* depth, double* flowArea, double* topWidth,
                                     double* celerity, int* status, char* message,
                                     int messageLength);

/* Straight-line lookup of valueCount values in an ascending x-y table. */
TOVALIN_API void interpolatelinear_(const int* pairCount, const double* xTable,
                                    const double* yTable, const int* valueCount,
                                    const double* xValues, double* yValues, int* status,
                                    char* message, int messageLength);

/* Unpacks a status code into the reporting routine's name, message number and severity. */
TOVALIN_API void decodeerrorcode_(const int* status, char* routineName, int* messageNumber,
                                  int* severity, int routineNameLength);

/* Resamples a series from one fixed interval onto another. */
TOVALIN_API void changetimeinterval_(const double* oldInterval, const double* newInterval,
                                     const int* oldCount, const int* newCount,
                                     const double* oldSeries, double* newSeries);

#ifdef __cplusplus
}
#endif

#endif /* TOVALIN_TOVALIN_H */
