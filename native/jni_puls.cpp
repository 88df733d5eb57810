// JNI entry points of the host classes varn.quorl.model.PulsChannelRouting and
// varn.quorl.model.PulsChannelRoutingWithLosses: modified Puls routing through a
// storage-outflow table, without and with channel loss. The message width is the length of
// the host's message array less one.
#include "varn_quorl_model_PulsChannelRouting.h"
#include "varn_quorl_model_PulsChannelRoutingWithLosses.h"

#include "native/adapter_calls.h"
#include "native/jni_frame.h"

using tovalin::jni::Frame;
using tovalin::jni::MessageWidth;

JNIEXPORT jstring JNICALL Java_varn_quorl_model_PulsChannelRouting_jniPulsChannelRouting(
    JNIEnv* env, jclass, jint intervalMinutes, jint pairCount, jdoubleArray storageTable,
    jdoubleArray outflowTable, jint stepCount, jdoubleArray initialStepOutflows,
    jdoubleArray finalStepOutflows, jint ordinateCount, jdoubleArray inflows,
    jdoubleArray outflows, jint status, jbyteArray message, jint) {
  Frame frame(env, "jniPulsChannelRouting");
  double* storage = nullptr;
  double* outflow = nullptr;
  double* initial = nullptr;
  double* final = nullptr;
  double* in = nullptr;
  double* out = nullptr;
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
  return frame.run([&](char* text, int width) {
    jint routineStatus = status;
    tovalin::adapters::CallRoutePulsChannel(&intervalMinutes, &pairCount, storage, outflow,
                                            &stepCount, initial, final, &ordinateCount, in,
                                            out, &routineStatus, text, width);
  });
}

JNIEXPORT jstring JNICALL
Java_varn_quorl_model_PulsChannelRoutingWithLosses_jniPulsChannelRoutingWithLosses(
    JNIEnv* env, jclass, jint intervalMinutes, jint pairCount, jdoubleArray storageTable,
    jdoubleArray outflowTable, jdoubleArray elevationTable, jdoubleArray lossElevation,
    jdoubleArray lossRate, jint stepCount, jdoubleArray initialStepOutflows,
    jdoubleArray finalStepOutflows, jint ordinateCount, jdoubleArray inflows,
    jdoubleArray outflows, jint status, jbyteArray message, jint) {
  Frame frame(env, "jniPulsChannelRoutingWithLosses");
  double* storage = nullptr;
  double* outflow = nullptr;
  double* elevation = nullptr;
  double* lossAbove = nullptr;
  double* rate = nullptr;
  double* initial = nullptr;
  double* final = nullptr;
  double* in = nullptr;
  double* out = nullptr;
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
  return frame.run([&](char* text, int width) {
    jint routineStatus = status;
    tovalin::adapters::CallRoutePulsChannelWithLoss(
        &intervalMinutes, &pairCount, storage, outflow, elevation, lossAbove, rate, &stepCount,
        initial, final, &ordinateCount, in, out, &routineStatus, text, width);
  });
}
