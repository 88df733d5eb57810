// JNI entry point of the host class varn.quorl.model.MuskingumRouting.
#include "varn_quorl_model_MuskingumRouting.h"

#include "native/adapter_calls.h"
#include "native/jni_frame.h"

using tovalin::jni::Frame;
using tovalin::jni::MessageWidth;

JNIEXPORT jstring JNICALL Java_varn_quorl_model_MuskingumRouting_jniMuskingumRouting(
    JNIEnv* env, jclass, jint intervalMinutes, jdoubleArray muskingumK, jdoubleArray muskingumX,
    jint stepCount, jdoubleArray initialStepOutflows, jdoubleArray finalStepOutflows,
    jint ordinateCount, jdoubleArray inflows, jdoubleArray outflows, jint status,
    jbyteArray message, jint) {
  Frame frame(env, "jniMuskingumRouting");
  double* k = nullptr;
  double* x = nullptr;
  double* initial = nullptr;
  double* final = nullptr;
  double* in = nullptr;
  double* out = nullptr;
  frame.doubles("muskingumK", muskingumK, 1, k);
  frame.doubles("muskingumX", muskingumX, 1, x);
  frame.count("stepCount", stepCount);
  frame.doubles("initialStepOutflows", initialStepOutflows, stepCount, initial);
  frame.results("finalStepOutflows", finalStepOutflows, stepCount, final);
  frame.count("ordinateCount", ordinateCount);
  frame.doubles("inflows", inflows, ordinateCount, in);
  frame.results("outflows", outflows, ordinateCount, out);
  frame.message(message, MessageWidth::kFixed80);
  return frame.run([&](char* text, int width) {
    jint routineStatus = status;
    tovalin::adapters::CallRouteMuskingum(&intervalMinutes, k, x, &stepCount, initial, final,
                                          &ordinateCount, in, out, &routineStatus, text, width);
  });
}
