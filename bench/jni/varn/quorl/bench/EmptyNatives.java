package varn.quorl.bench;

/**
 * Native methods with the exact signatures of the five routing entry points, from a small
 * library of their own: "empty" returns at once (the cost of the JNI transition alone),
 * "frame" runs the entry points' argument frame (checks, pinning, copy-back, message text)
 * around no routine at all, and "raw" does only the JNI calls a frame cannot avoid (get and
 * release every array, make the string). Used by {@link JniOverhead} only.
 */
public final class EmptyNatives {
    private EmptyNatives() {}

    static void load(String path) {
        System.load(new java.io.File(path).getAbsolutePath());
    }

    public static native String emptyMuskingum(int intervalMinutes, double[] muskingumK,
            double[] muskingumX, int stepCount, double[] initialStepOutflows,
            double[] finalStepOutflows, int ordinateCount, double[] inflows, double[] outflows,
            int status, byte[] message, int messageLength);

    public static native String frameMuskingum(int intervalMinutes, double[] muskingumK,
            double[] muskingumX, int stepCount, double[] initialStepOutflows,
            double[] finalStepOutflows, int ordinateCount, double[] inflows, double[] outflows,
            int status, byte[] message, int messageLength);

    public static native String rawMuskingum(int intervalMinutes, double[] muskingumK,
            double[] muskingumX, int stepCount, double[] initialStepOutflows,
            double[] finalStepOutflows, int ordinateCount, double[] inflows, double[] outflows,
            int status, byte[] message, int messageLength);

    public static native String emptyPuls(int intervalMinutes, int pairCount,
            double[] storageTable, double[] outflowTable, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message, int messageLength);

    public static native String framePuls(int intervalMinutes, int pairCount,
            double[] storageTable, double[] outflowTable, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message, int messageLength);

    public static native String emptyPulsWithLosses(int intervalMinutes, int pairCount,
            double[] storageTable, double[] outflowTable, double[] elevationTable,
            double[] lossElevation, double[] lossRate, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message,
            int messageLength);

    public static native String framePulsWithLosses(int intervalMinutes, int pairCount,
            double[] storageTable, double[] outflowTable, double[] elevationTable,
            double[] lossElevation, double[] lossRate, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message,
            int messageLength);

    public static native String emptyCunge8pt(int intervalMinutes, double[] reachLength,
            double[] channelSlope, double[] stations, double[] elevations, double[] manningN,
            int initialFlowCount, boolean subreachesFromInitialFlows, double[] initialFlows,
            double[] finalFlows, int ordinateCount, double[] inflows, double[] lateralInflows,
            double[] outflows, double[] computationInterval, double[] subreachLength,
            double[] peakOutflow, double[] peakTimeMinutes, double[] maxCelerity,
            double[] initialStorage, double[] finalStorage, double[] inflowVolume,
            double[] outflowVolume, int status, byte[] message, int messageLength);

    public static native String frameCunge8pt(int intervalMinutes, double[] reachLength,
            double[] channelSlope, double[] stations, double[] elevations, double[] manningN,
            int initialFlowCount, boolean subreachesFromInitialFlows, double[] initialFlows,
            double[] finalFlows, int ordinateCount, double[] inflows, double[] lateralInflows,
            double[] outflows, double[] computationInterval, double[] subreachLength,
            double[] peakOutflow, double[] peakTimeMinutes, double[] maxCelerity,
            double[] initialStorage, double[] finalStorage, double[] inflowVolume,
            double[] outflowVolume, int status, byte[] message, int messageLength);

    public static native String rawCunge8pt(int intervalMinutes, double[] reachLength,
            double[] channelSlope, double[] stations, double[] elevations, double[] manningN,
            int initialFlowCount, boolean subreachesFromInitialFlows, double[] initialFlows,
            double[] finalFlows, int ordinateCount, double[] inflows, double[] lateralInflows,
            double[] outflows, double[] computationInterval, double[] subreachLength,
            double[] peakOutflow, double[] peakTimeMinutes, double[] maxCelerity,
            double[] initialStorage, double[] finalStorage, double[] inflowVolume,
            double[] outflowVolume, int status, byte[] message, int messageLength);

    public static native String emptyCungePrism(int intervalMinutes, double[] reachLength,
            double[] channelSlope, double[] manningN, char[] sectionShape,
            double[] bottomWidth, double[] sideSlope, int initialFlowCount,
            boolean subreachesFromInitialFlows, double[] initialFlows, double[] finalFlows,
            int ordinateCount, double[] inflows, double[] lateralInflows, double[] outflows,
            double[] computationInterval, double[] subreachLength, double[] peakOutflow,
            double[] peakTimeMinutes, double[] maxCelerity, double[] initialStorage,
            double[] finalStorage, double[] inflowVolume, double[] outflowVolume, int status,
            byte[] message, int messageLength, int shapeLength);

    public static native String frameCungePrism(int intervalMinutes, double[] reachLength,
            double[] channelSlope, double[] manningN, char[] sectionShape,
            double[] bottomWidth, double[] sideSlope, int initialFlowCount,
            boolean subreachesFromInitialFlows, double[] initialFlows, double[] finalFlows,
            int ordinateCount, double[] inflows, double[] lateralInflows, double[] outflows,
            double[] computationInterval, double[] subreachLength, double[] peakOutflow,
            double[] peakTimeMinutes, double[] maxCelerity, double[] initialStorage,
            double[] finalStorage, double[] inflowVolume, double[] outflowVolume, int status,
            byte[] message, int messageLength, int shapeLength);
}
