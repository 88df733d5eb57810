// The arguments the two Muskingum-Cunge entry points share: the initial profile and its
// count, the three hydrographs and their count, and the nine scalar results. Declared to the
// frame in the host's parameter order, so that both entry points check them alike.
#pragma once

#include <jni.h>

#include <algorithm>

#include "hydro/messages/message_text.h"

#include "native/jni_frame.h"

namespace tovalin::jni {

// The pinned elements of the shared arrays, valid inside Frame::run.
struct CungeArrays {
  double* initialFlows = nullptr;
  double* finalFlows = nullptr;
  double* inflows = nullptr;
  double* lateralInflows = nullptr;
  double* outflows = nullptr;
  double* computationInterval = nullptr;
  double* subreachLength = nullptr;
  double* peakOutflow = nullptr;
  double* peakTimeMinutes = nullptr;
  double* maxCelerity = nullptr;
  double* initialStorage = nullptr;
  double* finalStorage = nullptr;
  double* inflowVolume = nullptr;
  double* outflowVolume = nullptr;

  // Declares the arguments from initialFlowCount to outflowVolume. Both counts must be at
  // least 1: the routine reads the first ordinate and the last profile point whatever the
  // counts. Each array holds its count of values, each scalar result one.
  void declare(Frame& frame, jint initialFlowCount, jdoubleArray initialFlowsArray,
               jdoubleArray finalFlowsArray, jint ordinateCount, jdoubleArray inflowsArray,
               jdoubleArray lateralInflowsArray, jdoubleArray outflowsArray,
               jdoubleArray computationIntervalArray, jdoubleArray subreachLengthArray,
               jdoubleArray peakOutflowArray, jdoubleArray peakTimeMinutesArray,
               jdoubleArray maxCelerityArray, jdoubleArray initialStorageArray,
               jdoubleArray finalStorageArray, jdoubleArray inflowVolumeArray,
               jdoubleArray outflowVolumeArray) noexcept {
    frame.count("initialFlowCount", initialFlowCount, 1);
    frame.doubles("initialFlows", initialFlowsArray, initialFlowCount, initialFlows);
    frame.results("finalFlows", finalFlowsArray, initialFlowCount, finalFlows);
    frame.count("ordinateCount", ordinateCount, 1);
    frame.doubles("inflows", inflowsArray, ordinateCount, inflows);
    frame.doubles("lateralInflows", lateralInflowsArray, ordinateCount, lateralInflows);
    frame.results("outflows", outflowsArray, ordinateCount, outflows);
    frame.results("computationInterval", computationIntervalArray, 1, computationInterval);
    frame.results("subreachLength", subreachLengthArray, 1, subreachLength);
    frame.results("peakOutflow", peakOutflowArray, 1, peakOutflow);
    frame.results("peakTimeMinutes", peakTimeMinutesArray, 1, peakTimeMinutes);
    frame.results("maxCelerity", maxCelerityArray, 1, maxCelerity);
    frame.results("initialStorage", initialStorageArray, 1, initialStorage);
    frame.results("finalStorage", finalStorageArray, 1, finalStorage);
    frame.results("inflowVolume", inflowVolumeArray, 1, inflowVolume);
    frame.results("outflowVolume", outflowVolumeArray, 1, outflowVolume);
  }

  // Every result becomes the undefined value: the outcome of a call that routed nothing.
  void undefine(jint initialFlowCount, jint ordinateCount) const noexcept {
    const double undefined = undefinedDbl();
    std::fill_n(finalFlows, std::max<jint>(initialFlowCount, 0), undefined);
    std::fill_n(outflows, std::max<jint>(ordinateCount, 0), undefined);
    for (double* scalar : {computationInterval, subreachLength, peakOutflow, peakTimeMinutes,
                           maxCelerity, initialStorage, finalStorage, inflowVolume,
                           outflowVolume})
      *scalar = undefined;
  }
};

}  // namespace tovalin::jni
