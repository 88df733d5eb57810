package varn.quorl.model;

/** Muskingum-Cunge routing through a trapezoidal channel or a circular conduit. */
public final class MuskingumCungePrismRouting {
    static {
        NativeLibrary.load();
    }

    private MuskingumCungePrismRouting() {}

    /**
     * Routes {@code inflows} through a trapezoid, or a circle when {@code sectionShape} is
     * "CIRCLE" (then {@code bottomWidth} is the diameter). Scalar results come back in
     * element 0 of their arrays. The message width is {@code message.length - 1}.
     */
    public static native String jniMuskingumCungePrismRouting(int intervalMinutes,
            double[] reachLength, double[] channelSlope, double[] manningN,
            char[] sectionShape, double[] bottomWidth, double[] sideSlope,
            int initialFlowCount, boolean subreachesFromInitialFlows, double[] initialFlows,
            double[] finalFlows, int ordinateCount, double[] inflows, double[] lateralInflows,
            double[] outflows, double[] computationInterval, double[] subreachLength,
            double[] peakOutflow, double[] peakTimeMinutes, double[] maxCelerity,
            double[] initialStorage, double[] finalStorage, double[] inflowVolume,
            double[] outflowVolume, int status, byte[] message, int messageLength,
            int shapeLength);
}
