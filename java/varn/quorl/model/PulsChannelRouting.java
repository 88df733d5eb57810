package varn.quorl.model;

/**
 * Modified Puls (storage-indication) routing through a storage-outflow table. Conventions
 * shared by every class (units, lengths, the message, the undefined value) are in the
 * {@linkplain varn.quorl.model package description}.
 */
public final class PulsChannelRouting {
    static {
        NativeLibrary.load();
    }

    private PulsChannelRouting() {}

    /**
     * Routes {@code inflows} through {@code stepCount} equal steps of a reach described by a
     * storage-outflow table; each step holds 1/{@code stepCount} of the tabulated storage.
     *
     * <p>Failure: {@code "Error in Storage-Outflow interpolation."} followed on its next line
     * by the table lookup's text when a value falls outside the table (routing goes on; an
     * ordinate whose outflow lookup failed gets 0); {@code "Invalid Modified Puls parameters:
     * …"} for an interval or step count below 1 and {@code "Cannot allocate memory for dynamic
     * arrays."}, after which {@code outflows} and {@code finalStepOutflows} are undefined.
     *
     * @param intervalMinutes interval of both hydrographs, minutes, at least 1; read
     * @param pairCount number of pairs in the storage-outflow table, 0 or more
     * @param storageTable storage of the whole reach, m³, ascending; length at least
     *     {@code pairCount}; read
     * @param outflowTable outflow at each storage, m³/s, ascending; length at least
     *     {@code pairCount}; read
     * @param stepCount number of routing steps, at least 1
     * @param initialStepOutflows each step's outflow at time 0, m³/s; length at least
     *     {@code stepCount}; read
     * @param finalStepOutflows each step's outflow at the last ordinate, m³/s; length at least
     *     {@code stepCount}; written
     * @param ordinateCount number of ordinates of both hydrographs, 0 or more
     * @param inflows inflow hydrograph, m³/s; length at least {@code ordinateCount}; read (it
     *     may be the same array as {@code outflows})
     * @param outflows outflow hydrograph, m³/s; length at least {@code ordinateCount}; written
     * @param status not read
     * @param message the message field, W = {@code message.length - 1}; length at least 1,
     *     zero-filled; written when the routine reports something
     * @param messageLength not read
     * @return the message: {@code ""} when nothing was reported, otherwise the routine's text
     *     blank-padded to W characters
     */
    public static native String jniPulsChannelRouting(int intervalMinutes, int pairCount,
            double[] storageTable, double[] outflowTable, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message, int messageLength);
}
