package varn.quorl.model;

/** Modified Puls routing with a channel loss above a given elevation. */
public final class PulsChannelRoutingWithLosses {
    static {
        NativeLibrary.load();
    }

    private PulsChannelRoutingWithLosses() {}

    /**
     * Routes {@code inflows} through {@code stepCount} equal steps, taking the channel loss
     * off every step's outflow. {@code lossElevation} and {@code lossRate} use element 0.
     * The message width is {@code message.length - 1}.
     */
    public static native String jniPulsChannelRoutingWithLosses(int intervalMinutes,
            int pairCount, double[] storageTable, double[] outflowTable,
            double[] elevationTable, double[] lossElevation, double[] lossRate, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message,
            int messageLength);
}
