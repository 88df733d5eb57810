// Reference natives for the JNI overhead benchmark, built into a library of their own (never
// into the routing library): "empty" returns at once, "frame" runs the entry points' argument
// frame around no routine, "raw" makes only the JNI calls every entry point needs (get and
// release each array, make the returned string). Signatures match the entry points exactly.
#include "varn_quorl_bench_EmptyNatives.h"

#include <initializer_list>

#include "native/jni_cunge_results.h"
#include "native/jni_frame.h"

using tovalin::jni::Frame;
using tovalin::jni::MessageWidth;

namespace {

constexpr jint kSectionPoints = 8;
constexpr jint kRoughnessValues = 3;

// The routine a frame runs here: none.
constexpr auto kNoRoutine = [](char*, int) {};

// Reads every array's length, gets its elements and releases them with copy-back, then makes
// an empty string: the JNI calls any checking entry point must make, and nothing else.
jstring RawCalls(JNIEnv* env, std::initializer_list<jdoubleArray> arrays, jbyteArray message) {
  jsize lengths = env->GetArrayLength(message);
  for (jdoubleArray a : arrays) lengths += env->GetArrayLength(a);
  if (lengths < 0) return nullptr;
  for (jdoubleArray a : arrays) {
    jdouble* elements = env->GetDoubleArrayElements(a, nullptr);
    if (elements == nullptr) return nullptr;
    env->ReleaseDoubleArrayElements(a, elements, 0);
  }
  jbyte* bytes = env->GetByteArrayElements(message, nullptr);
  if (bytes == nullptr) return nullptr;
  env->ReleaseByteArrayElements(message, bytes, 0);
  return env->NewStringUTF("");
}

}  // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_emptyMuskingum(
    JNIEnv*, jclass, jint, jdoubleArray, jdoubleArray, jint, jdoubleArray, jdoubleArray, jint,
    jdoubleArray, jdoubleArray, jint, jbyteArray, jint) {
  return nullptr;
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_frameMuskingum(
    JNIEnv* env, jclass, jint, jdoubleArray muskingumK, jdoubleArray muskingumX, jint stepCount,
    jdoubleArray initialStepOutflows, jdoubleArray finalStepOutflows, jint ordinateCount,
    jdoubleArray inflows, jdoubleArray outflows, jint, jbyteArray message, jint) {
  Frame frame(env, "frameMuskingum");
  double *k = nullptr, *x = nullptr, *initial = nullptr, *final = nullptr, *in = nullptr,
         *out = nullptr;
  frame.doubles("muskingumK", muskingumK, 1, k);
  frame.doubles("muskingumX", muskingumX, 1, x);
  frame.count("stepCount", stepCount);
  frame.doubles("initialStepOutflows", initialStepOutflows, stepCount, initial);
  frame.results("finalStepOutflows", finalStepOutflows, stepCount, final);
  frame.count("ordinateCount", ordinateCount);
  frame.doubles("inflows", inflows, ordinateCount, in);
  frame.results("outflows", outflows, ordinateCount, out);
  frame.message(message, MessageWidth::kFixed80);
  return frame.run(kNoRoutine);
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_rawMuskingum(
    JNIEnv* env, jclass, jint, jdoubleArray muskingumK, jdoubleArray muskingumX, jint,
    jdoubleArray initialStepOutflows, jdoubleArray finalStepOutflows, jint,
    jdoubleArray inflows, jdoubleArray outflows, jint, jbyteArray message, jint) {
  return RawCalls(env, {muskingumK, muskingumX, initialStepOutflows, finalStepOutflows, inflows,
                        outflows},
                  message);
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_emptyPuls(
    JNIEnv*, jclass, jint, jint, jdoubleArray, jdoubleArray, jint, jdoubleArray, jdoubleArray,
    jint, jdoubleArray, jdoubleArray, jint, jbyteArray, jint) {
  return nullptr;
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_framePuls(
    JNIEnv* env, jclass, jint, jint pairCount, jdoubleArray storageTable,
    jdoubleArray outflowTable, jint stepCount, jdoubleArray initialStepOutflows,
    jdoubleArray finalStepOutflows, jint ordinateCount, jdoubleArray inflows,
    jdoubleArray outflows, jint, jbyteArray message, jint) {
  Frame frame(env, "framePuls");
  double *storage = nullptr, *outflow = nullptr, *initial = nullptr, *final = nullptr,
         *in = nullptr, *out = nullptr;
  frame.count("pairCount", pairCount);
  frame.doubles("storageTable", storageTable, pairCount, storage);
  frame.doubles("outflowTable", outflowTable, pairCount, outflow);
  frame.count("stepCount", stepCount);
  frame.doubles("initialStepOutflows", initialStepOutflows, stepCount, initial);
  frame.results("finalStepOutflows", finalStepOutflows, stepCount, final);
  frame.count("ordinateCount", ordinateCount);
  frame.doubles("inflows", inflows, ordinateCount, in);
  frame.results("outflows", outflows, ordinateCount, out);
  frame.message(message, MessageWidth::kLengthMinusOne);
  return frame.run(kNoRoutine);
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_emptyPulsWithLosses(
    JNIEnv*, jclass, jint, jint, jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray,
    jdoubleArray, jint, jdoubleArray, jdoubleArray, jint, jdoubleArray, jdoubleArray, jint,
    jbyteArray, jint) {
  return nullptr;
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_framePulsWithLosses(
    JNIEnv* env, jclass, jint, jint pairCount, jdoubleArray storageTable,
    jdoubleArray outflowTable, jdoubleArray elevationTable, jdoubleArray lossElevation,
    jdoubleArray lossRate, jint stepCount, jdoubleArray initialStepOutflows,
    jdoubleArray finalStepOutflows, jint ordinateCount, jdoubleArray inflows,
    jdoubleArray outflows, jint, jbyteArray message, jint) {
  Frame frame(env, "framePulsWithLosses");
  double *storage = nullptr, *outflow = nullptr, *elevation = nullptr, *lossAbove = nullptr,
         *rate = nullptr, *initial = nullptr, *final = nullptr, *in = nullptr, *out = nullptr;
  frame.count("pairCount", pairCount);
  frame.doubles("storageTable", storageTable, pairCount, storage);
  frame.doubles("outflowTable", outflowTable, pairCount, outflow);
  frame.doubles("elevationTable", elevationTable, pairCount, elevation);
  frame.doubles("lossElevation", lossElevation, 1, lossAbove);
  frame.doubles("lossRate", lossRate, 1, rate);
  frame.count("stepCount", stepCount);
  frame.doubles("initialStepOutflows", initialStepOutflows, stepCount, initial);
  frame.results("finalStepOutflows", finalStepOutflows, stepCount, final);
  frame.count("ordinateCount", ordinateCount);
  frame.doubles("inflows", inflows, ordinateCount, in);
  frame.results("outflows", outflows, ordinateCount, out);
  frame.message(message, MessageWidth::kLengthMinusOne);
  return frame.run(kNoRoutine);
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_emptyCunge8pt(
    JNIEnv*, jclass, jint, jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray,
    jdoubleArray, jint, jboolean, jdoubleArray, jdoubleArray, jint, jdoubleArray, jdoubleArray,
    jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray,
    jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray, jint, jbyteArray, jint) {
  return nullptr;
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_frameCunge8pt(
    JNIEnv* env, jclass, jint, jdoubleArray reachLength, jdoubleArray channelSlope,
    jdoubleArray stations, jdoubleArray elevations, jdoubleArray manningN,
    jint initialFlowCount, jboolean, jdoubleArray initialFlows, jdoubleArray finalFlows,
    jint ordinateCount, jdoubleArray inflows, jdoubleArray lateralInflows,
    jdoubleArray outflows, jdoubleArray computationInterval, jdoubleArray subreachLength,
    jdoubleArray peakOutflow, jdoubleArray peakTimeMinutes, jdoubleArray maxCelerity,
    jdoubleArray initialStorage, jdoubleArray finalStorage, jdoubleArray inflowVolume,
    jdoubleArray outflowVolume, jint, jbyteArray message, jint) {
  Frame frame(env, "frameCunge8pt");
  double* slots[5] = {};
  frame.doubles("reachLength", reachLength, 1, slots[0]);
  frame.doubles("channelSlope", channelSlope, 1, slots[1]);
  frame.doubles("stations", stations, kSectionPoints, slots[2]);
  frame.doubles("elevations", elevations, kSectionPoints, slots[3]);
  frame.doubles("manningN", manningN, kRoughnessValues, slots[4]);
  tovalin::jni::CungeArrays flows;
  flows.declare(frame, initialFlowCount, initialFlows, finalFlows, ordinateCount, inflows,
                lateralInflows, outflows, computationInterval, subreachLength, peakOutflow,
                peakTimeMinutes, maxCelerity, initialStorage, finalStorage, inflowVolume,
                outflowVolume);
  frame.message(message, MessageWidth::kFixed80);
  return frame.run(kNoRoutine);
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_rawCunge8pt(
    JNIEnv* env, jclass, jint, jdoubleArray reachLength, jdoubleArray channelSlope,
    jdoubleArray stations, jdoubleArray elevations, jdoubleArray manningN, jint, jboolean,
    jdoubleArray initialFlows, jdoubleArray finalFlows, jint, jdoubleArray inflows,
    jdoubleArray lateralInflows, jdoubleArray outflows, jdoubleArray computationInterval,
    jdoubleArray subreachLength, jdoubleArray peakOutflow, jdoubleArray peakTimeMinutes,
    jdoubleArray maxCelerity, jdoubleArray initialStorage, jdoubleArray finalStorage,
    jdoubleArray inflowVolume, jdoubleArray outflowVolume, jint, jbyteArray message, jint) {
  return RawCalls(env,
                  {reachLength, channelSlope, stations, elevations, manningN, initialFlows,
                   finalFlows, inflows, lateralInflows, outflows, computationInterval,
                   subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, initialStorage,
                   finalStorage, inflowVolume, outflowVolume},
                  message);
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_emptyCungePrism(
    JNIEnv*, jclass, jint, jdoubleArray, jdoubleArray, jdoubleArray, jcharArray, jdoubleArray,
    jdoubleArray, jint, jboolean, jdoubleArray, jdoubleArray, jint, jdoubleArray, jdoubleArray,
    jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray,
    jdoubleArray, jdoubleArray, jdoubleArray, jdoubleArray, jint, jbyteArray, jint, jint) {
  return nullptr;
}

JNIEXPORT jstring JNICALL Java_varn_quorl_bench_EmptyNatives_frameCungePrism(
    JNIEnv* env, jclass, jint, jdoubleArray reachLength, jdoubleArray channelSlope,
    jdoubleArray manningN, jcharArray sectionShape, jdoubleArray bottomWidth,
    jdoubleArray sideSlope, jint initialFlowCount, jboolean, jdoubleArray initialFlows,
    jdoubleArray finalFlows, jint ordinateCount, jdoubleArray inflows,
    jdoubleArray lateralInflows, jdoubleArray outflows, jdoubleArray computationInterval,
    jdoubleArray subreachLength, jdoubleArray peakOutflow, jdoubleArray peakTimeMinutes,
    jdoubleArray maxCelerity, jdoubleArray initialStorage, jdoubleArray finalStorage,
    jdoubleArray inflowVolume, jdoubleArray outflowVolume, jint, jbyteArray message, jint,
    jint) {
  Frame frame(env, "frameCungePrism");
  double* slots[5] = {};
  const jchar* shape = nullptr;
  jsize shapeLength = 0;
  frame.doubles("reachLength", reachLength, 1, slots[0]);
  frame.doubles("channelSlope", channelSlope, 1, slots[1]);
  frame.doubles("manningN", manningN, 1, slots[2]);
  frame.chars("sectionShape", sectionShape, 0, shape, shapeLength);
  frame.doubles("bottomWidth", bottomWidth, 1, slots[3]);
  frame.doubles("sideSlope", sideSlope, 1, slots[4]);
  tovalin::jni::CungeArrays flows;
  flows.declare(frame, initialFlowCount, initialFlows, finalFlows, ordinateCount, inflows,
                lateralInflows, outflows, computationInterval, subreachLength, peakOutflow,
                peakTimeMinutes, maxCelerity, initialStorage, finalStorage, inflowVolume,
                outflowVolume);
  frame.message(message, MessageWidth::kLengthMinusOne);
  return frame.run(kNoRoutine);
}

}  // extern "C"
