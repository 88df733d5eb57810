// Adapters for native callers: Muskingum routing and status decoding. Arguments arrive by
// reference with text lengths last, and go on to the routines unchanged.
#include "tovalin/tovalin.h"
#include "hydro/messages/status_code.h"
#include "native/adapter_calls.h"

using namespace tovalin::adapters;

extern "C" {

void routemuskingum_(const int* intervalMinutes, const double* muskingumK,
                     const double* muskingumX, const int* stepCount,
                     const double* initialStepOutflows, double* finalStepOutflows,
                     const int* ordinateCount, const double* inflows, double* outflows,
                     int* status, char* message, int messageLength) {
  Guarded(
      "routemuskingum_", tovalin::routine::kRouteMuskingum, status, message, messageLength,
      [&] {
        CallRouteMuskingum(intervalMinutes, muskingumK, muskingumX, stepCount,
                           initialStepOutflows, finalStepOutflows, ordinateCount, inflows,
                           outflows, status, message, messageLength);
      },
      [&]() noexcept {
        Undefine(Out(finalStepOutflows, *stepCount));
        Undefine(Out(outflows, *ordinateCount));
      });
}

// DecodeErrorCode does nothing that can throw: no guard.
void decodeerrorcode_(const int* status, char* routineName, int* messageNumber, int* severity,
                      int routineNameLength) {
  tovalin::DecodeErrorCode(*status, Text(routineName, routineNameLength), *messageNumber,
                           *severity);
}

}  // extern "C"
