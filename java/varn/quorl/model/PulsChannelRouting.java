package varn.quorl.model;

/** Modified Puls routing through a storage-outflow table. */
public final class PulsChannelRouting {
    static {
        NativeLibrary.load();
    }

    private PulsChannelRouting() {}

    /**
     * Routes {@code inflows} through {@code stepCount} equal steps of a reach described by a
     * storage-outflow table. The message width is {@code message.length - 1}.
     */
    public static native String jniPulsChannelRouting(int intervalMinutes, int pairCount,
            double[] storageTable, double[] outflowTable, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message, int messageLength);
}
