// JNI entry point of the host class varn.quorl.model.MuskingumCunge8ptRouting:
// Muskingum-Cunge routing through an eight-point section. The message is the first 80 bytes
// of the host's array; the boolean reaches the routine as 1 or 0. Counts below 1 are refused
// with the other argument checks, before any array is pinned.
#include "varn_quorl_model_MuskingumCunge8ptRouting.h"

#include "native/adapter_calls.h"
#include "native/jni_cunge_results.h"
#include "native/jni_frame.h"

using tovalin::jni::CungeArrays;
using tovalin::jni::Frame;
using tovalin::jni::MessageWidth;

namespace {

constexpr jint kSectionPoints = 8;
constexpr jint kRoughnessValues = 3;

}  // namespace

JNIEXPORT jstring JNICALL
Java_varn_quorl_model_MuskingumCunge8ptRouting_jniMuskingumCunge8ptRouting(
    JNIEnv* env, jclass, jint intervalMinutes, jdoubleArray reachLength,
    jdoubleArray channelSlope, jdoubleArray stations, jdoubleArray elevations,
    jdoubleArray manningN, jint initialFlowCount, jboolean subreachesFromInitialFlows,
    jdoubleArray initialFlows, jdoubleArray finalFlows, jint ordinateCount,
    jdoubleArray inflows, jdoubleArray lateralInflows, jdoubleArray outflows,
    jdoubleArray computationInterval, jdoubleArray subreachLength, jdoubleArray peakOutflow,
    jdoubleArray peakTimeMinutes, jdoubleArray maxCelerity, jdoubleArray initialStorage,
    jdoubleArray finalStorage, jdoubleArray inflowVolume, jdoubleArray outflowVolume,
    jint status, jbyteArray message, jint) {
  Frame frame(env, "jniMuskingumCunge8ptRouting");
  double* length = nullptr;
  double* slope = nullptr;
  double* x = nullptr;
  double* y = nullptr;
  double* roughness = nullptr;
  CungeArrays flows;
  frame.doubles("reachLength", reachLength, 1, length);
  frame.doubles("channelSlope", channelSlope, 1, slope);
  frame.doubles("stations", stations, kSectionPoints, x);
  frame.doubles("elevations", elevations, kSectionPoints, y);
  frame.doubles("manningN", manningN, kRoughnessValues, roughness);
  flows.declare(frame, initialFlowCount, initialFlows, finalFlows, ordinateCount, inflows,
                lateralInflows, outflows, computationInterval, subreachLength, peakOutflow,
                peakTimeMinutes, maxCelerity, initialStorage, finalStorage, inflowVolume,
                outflowVolume);
  frame.message(message, MessageWidth::kFixed80);
  return frame.run([&](char* text, int width) {
    const jint fromProfile = subreachesFromInitialFlows != JNI_FALSE ? 1 : 0;
    jint routineStatus = status;
    tovalin::adapters::CallRouteMuskingumCunge8Point(
        &intervalMinutes, length, slope, x, y, roughness, &initialFlowCount, &fromProfile,
        flows.initialFlows, flows.finalFlows, &ordinateCount, flows.inflows,
        flows.lateralInflows, flows.outflows, flows.computationInterval, flows.subreachLength,
        flows.peakOutflow, flows.peakTimeMinutes, flows.maxCelerity, flows.initialStorage,
        flows.finalStorage, flows.inflowVolume, flows.outflowVolume, &routineStatus, text,
        width);
  });
}
