// JNI entry point of the host class varn.quorl.model.MuskingumCungePrismRouting:
// Muskingum-Cunge routing through a trapezoid or a circular conduit. The section shape comes
// as a char[] whose every element gives one byte (its low 8 bits), all of them kept; the
// message width is the length of the host's message array less one.
#include "varn_quorl_model_MuskingumCungePrismRouting.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "native/adapter_calls.h"
#include "hydro/messages/status_code.h"
#include "hydro/messages/text_field.h"
#include "hydro/routing/work_storage.h"
#include "native/jni_cunge_results.h"
#include "native/jni_frame.h"

using tovalin::jni::CungeArrays;
using tovalin::jni::Frame;
using tovalin::jni::MessageWidth;

namespace {

// Shapes up to this many characters are held on the stack, longer ones on the heap (within a
// call's storage limit: a longer one is storage that cannot be obtained, message 11).
constexpr std::size_t kShapeBufferSize = 64;
constexpr unsigned kLowByteMask = 0xFF;

}  // namespace

JNIEXPORT jstring JNICALL
Java_varn_quorl_model_MuskingumCungePrismRouting_jniMuskingumCungePrismRouting(
    JNIEnv* env, jclass, jint intervalMinutes, jdoubleArray reachLength,
    jdoubleArray channelSlope, jdoubleArray manningN, jcharArray sectionShape,
    jdoubleArray bottomWidth, jdoubleArray sideSlope, jint initialFlowCount,
    jboolean subreachesFromInitialFlows, jdoubleArray initialFlows, jdoubleArray finalFlows,
    jint ordinateCount, jdoubleArray inflows, jdoubleArray lateralInflows,
    jdoubleArray outflows, jdoubleArray computationInterval, jdoubleArray subreachLength,
    jdoubleArray peakOutflow, jdoubleArray peakTimeMinutes, jdoubleArray maxCelerity,
    jdoubleArray initialStorage, jdoubleArray finalStorage, jdoubleArray inflowVolume,
    jdoubleArray outflowVolume, jint status, jbyteArray message, jint, jint) {
  Frame frame(env, "jniMuskingumCungePrismRouting");
  double* length = nullptr;
  double* slope = nullptr;
  double* roughness = nullptr;
  const jchar* shapeChars = nullptr;
  jsize shapeLength = 0;
  double* width = nullptr;
  double* sides = nullptr;
  CungeArrays flows;
  frame.doubles("reachLength", reachLength, 1, length);
  frame.doubles("channelSlope", channelSlope, 1, slope);
  frame.doubles("manningN", manningN, 1, roughness);
  frame.chars("sectionShape", sectionShape, 0, shapeChars, shapeLength);
  frame.doubles("bottomWidth", bottomWidth, 1, width);
  frame.doubles("sideSlope", sideSlope, 1, sides);
  flows.declare(frame, initialFlowCount, initialFlows, finalFlows, ordinateCount, inflows,
                lateralInflows, outflows, computationInterval, subreachLength, peakOutflow,
                peakTimeMinutes, maxCelerity, initialStorage, finalStorage, inflowVolume,
                outflowVolume);
  frame.message(message, MessageWidth::kLengthMinusOne);
  return frame.run([&](char* text, int textWidth) {
    // The whole shape, one byte per element, so that a text longer than any fixed field is
    // still compared in full.
    const auto characters = static_cast<std::size_t>(std::max<jsize>(shapeLength, 0));
    std::array<char, kShapeBufferSize> small{};
    std::unique_ptr<char[]> large;
    char* shape = small.data();
    if (characters > small.size()) {
      if (tovalin::WithinStorageLimit(characters))
        large.reset(new (std::nothrow) char[characters]);
      if (!large) {
        tovalin::TextField(text, textWidth).assign(tovalin::kNoStorageText);
        flows.undefine(initialFlowCount, ordinateCount);
        return;
      }
      shape = large.get();
    }
    for (std::size_t i = 0; i < characters; ++i)
      shape[i] = static_cast<char>(shapeChars[i] & kLowByteMask);

    const jint fromProfile = subreachesFromInitialFlows != JNI_FALSE ? 1 : 0;
    jint routineStatus = status;
    tovalin::adapters::CallRouteMuskingumCungePrism(
        &intervalMinutes, length, slope, roughness, shape, width, sides, &initialFlowCount,
        &fromProfile, flows.initialFlows, flows.finalFlows, &ordinateCount, flows.inflows,
        flows.lateralInflows, flows.outflows, flows.computationInterval, flows.subreachLength,
        flows.peakOutflow, flows.peakTimeMinutes, flows.maxCelerity, flows.initialStorage,
        flows.finalStorage, flows.inflowVolume, flows.outflowVolume, &routineStatus, text,
        textWidth, static_cast<int>(characters));
  });
}
