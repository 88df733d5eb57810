// JNI entry point of the host class varn.quorl.model.MuskingumCunge8ptRouting:
// Muskingum-Cunge routing through an eight-point section. The message is the first 80 bytes
// of the host's array; the boolean reaches the routine as 1 or 0. Counts below 1 are refused
// with the other argument checks, before any array is pinned.
#include "varn_quorl_model_MuskingumCunge8ptRouting.h"

#include "tovalin/tovalin.h"
#include "native/jni_frame.h"

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
  Frame frame(env);
  double* length = nullptr;
  double* slope = nullptr;
  double* x = nullptr;
  double* y = nullptr;
  double* roughness = nullptr;
  double* initial = nullptr;
  double* final = nullptr;
  double* in = nullptr;
  double* lateral = nullptr;
  double* out = nullptr;
  double* interval = nullptr;
  double* subreach = nullptr;
  double* peak = nullptr;
  double* peakTime = nullptr;
  double* celerity = nullptr;
  double* storageStart = nullptr;
  double* storageEnd = nullptr;
  double* volumeIn = nullptr;
  double* volumeOut = nullptr;
  frame.doubles("reachLength", reachLength, 1, length);
  frame.doubles("channelSlope", channelSlope, 1, slope);
  frame.doubles("stations", stations, kSectionPoints, x);
  frame.doubles("elevations", elevations, kSectionPoints, y);
  frame.doubles("manningN", manningN, kRoughnessValues, roughness);
  // The routine reads the first ordinate and the last profile point whatever the counts.
  frame.count("initialFlowCount", initialFlowCount, 1);
  frame.doubles("initialFlows", initialFlows, initialFlowCount, initial);
  frame.doubles("finalFlows", finalFlows, initialFlowCount, final);
  frame.count("ordinateCount", ordinateCount, 1);
  frame.doubles("inflows", inflows, ordinateCount, in);
  frame.doubles("lateralInflows", lateralInflows, ordinateCount, lateral);
  frame.doubles("outflows", outflows, ordinateCount, out);
  frame.doubles("computationInterval", computationInterval, 1, interval);
  frame.doubles("subreachLength", subreachLength, 1, subreach);
  frame.doubles("peakOutflow", peakOutflow, 1, peak);
  frame.doubles("peakTimeMinutes", peakTimeMinutes, 1, peakTime);
  frame.doubles("maxCelerity", maxCelerity, 1, celerity);
  frame.doubles("initialStorage", initialStorage, 1, storageStart);
  frame.doubles("finalStorage", finalStorage, 1, storageEnd);
  frame.doubles("inflowVolume", inflowVolume, 1, volumeIn);
  frame.doubles("outflowVolume", outflowVolume, 1, volumeOut);
  frame.message(message, MessageWidth::kFixed80);
  return frame.run([&](char* text, int width) {
    const jint fromProfile = subreachesFromInitialFlows != JNI_FALSE ? 1 : 0;
    jint routineStatus = status;
    RouteMuskingumCunge8Point_(&intervalMinutes, length, slope, x, y, roughness,
                               &initialFlowCount, &fromProfile, initial, final, &ordinateCount,
                               in, lateral, out, interval, subreach, peak, peakTime, celerity,
                               storageStart, storageEnd, volumeIn, volumeOut, &routineStatus,
                               text, width);
  });
}
