package varn.quorl.model;

/** Muskingum-Cunge routing through an eight-point natural cross-section. */
public final class MuskingumCunge8ptRouting {
    static {
        NativeLibrary.load();
    }

    private MuskingumCunge8ptRouting() {}

    /**
     * Routes {@code inflows} (plus lateral inflow per unit length) through a reach with an
     * eight-point section. Scalar results come back in element 0 of their arrays. The
     * message needs at least 81 bytes; the routine writes into the first 80.
     */
    public static native String jniMuskingumCunge8ptRouting(int intervalMinutes,
            double[] reachLength, double[] channelSlope, double[] stations,
            double[] elevations, double[] manningN, int initialFlowCount,
            boolean subreachesFromInitialFlows, double[] initialFlows, double[] finalFlows,
            int ordinateCount, double[] inflows, double[] lateralInflows, double[] outflows,
            double[] computationInterval, double[] subreachLength, double[] peakOutflow,
            double[] peakTimeMinutes, double[] maxCelerity, double[] initialStorage,
            double[] finalStorage, double[] inflowVolume, double[] outflowVolume, int status,
            byte[] message, int messageLength);
}
