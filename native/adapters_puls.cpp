// Adapters for native callers: modified Puls routing with and without channel loss, and the
// straight-line table lookup. Arguments arrive by reference with the message length last and
// go on to the routines unchanged; each array becomes a span of the length its count gives.
#include <algorithm>

#include "tovalin/tovalin.h"
#include "hydro/hydraulics/interpolate_linear.h"
#include "native/adapter_calls.h"

using namespace tovalin::adapters;

extern "C" {

void routepulschannel_(const int* intervalMinutes, const int* pairCount,
                       const double* storageTable, const double* outflowTable,
                       const int* stepCount, const double* initialStepOutflows,
                       double* finalStepOutflows, const int* ordinateCount,
                       const double* inflows, double* outflows, int* status, char* message,
                       int messageLength) {
  Guarded(
      "routepulschannel_", tovalin::routine::kRoutePulsChannel, status, message, messageLength,
      [&] {
        CallRoutePulsChannel(intervalMinutes, pairCount, storageTable, outflowTable, stepCount,
                             initialStepOutflows, finalStepOutflows, ordinateCount, inflows,
                             outflows, status, message, messageLength);
      },
      [&]() noexcept {
        Undefine(Out(finalStepOutflows, *stepCount));
        Undefine(Out(outflows, *ordinateCount));
      });
}

void RoutePulsChannelWithLoss_(const int* intervalMinutes, const int* pairCount,
                               const double* storageTable, const double* outflowTable,
                               const double* elevationTable, const double* lossElevation,
                               const double* lossRate, const int* stepCount,
                               const double* initialStepOutflows, double* finalStepOutflows,
                               const int* ordinateCount, const double* inflows,
                               double* outflows, int* status, char* message,
                               int messageLength) {
  Guarded(
      "RoutePulsChannelWithLoss_", tovalin::routine::kRoutePulsChannelWithLoss, status,
      message, messageLength,
      [&] {
        CallRoutePulsChannelWithLoss(intervalMinutes, pairCount, storageTable, outflowTable,
                                     elevationTable, lossElevation, lossRate, stepCount,
                                     initialStepOutflows, finalStepOutflows, ordinateCount,
                                     inflows, outflows, status, message, messageLength);
      },
      [&]() noexcept {
        Undefine(Out(finalStepOutflows, *stepCount));
        Undefine(Out(outflows, *ordinateCount));
      });
}

// InterpolateLinear does nothing that can throw: no guard.
void interpolatelinear_(const int* pairCount, const double* xTable, const double* yTable,
                        const int* valueCount, const double* xValues, double* yValues,
                        int* status, char* message, int messageLength) {
  // yValues holds at least one element even when valueCount is below 1.
  tovalin::InterpolateLinear(*pairCount, In(xTable, *pairCount), In(yTable, *pairCount),
                             *valueCount, In(xValues, *valueCount),
                             Out(yValues, std::max(*valueCount, 1)), *status,
                             Text(message, messageLength));
}

}  // extern "C"
