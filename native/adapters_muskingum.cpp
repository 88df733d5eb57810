// Adapters for native callers: Muskingum routing and status decoding. Arguments arrive by
// reference with text lengths last, and go on to the routines unchanged.
#include "tovalin/tovalin.h"
#include "hydro/messages/status_code.h"
#include "hydro/routing/muskingum.h"
#include "native/adapter_support.h"

using namespace tovalin::adapters;

extern "C" {

void routemuskingum_(const int* intervalMinutes, const double* muskingumK,
                     const double* muskingumX, const int* stepCount,
                     const double* initialStepOutflows, double* finalStepOutflows,
                     const int* ordinateCount, const double* inflows, double* outflows,
                     int* status, char* message, int messageLength) {
  tovalin::RouteMuskingum(*intervalMinutes, *muskingumK, *muskingumX, *stepCount,
                          In(initialStepOutflows, *stepCount), Out(finalStepOutflows, *stepCount),
                          *ordinateCount, In(inflows, *ordinateCount), Out(outflows, *ordinateCount),
                          *status, Text(message, messageLength));
}

void decodeerrorcode_(const int* status, char* routineName, int* messageNumber, int* severity,
                      int routineNameLength) {
  tovalin::DecodeErrorCode(*status, Text(routineName, routineNameLength), *messageNumber,
                           *severity);
}

}  // extern "C"
