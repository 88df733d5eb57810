package varn.quorl.model;

/**
 * Modified Puls routing with a channel loss while the water surface stands above a given
 * elevation. Conventions shared by every class (units, lengths, the message, the undefined
 * value) are in the {@linkplain varn.quorl.model package description}.
 */
public final class PulsChannelRoutingWithLosses {
    static {
        NativeLibrary.load();
    }

    private PulsChannelRoutingWithLosses() {}

    /**
     * Routes {@code inflows} through {@code stepCount} equal steps, taking the channel loss,
     * storage / (elevation − {@code lossElevation}) × {@code lossRate}, off every step's
     * outflow while the surface stands above {@code lossElevation}.
     *
     * <p>Failure: {@code "Error in Storage-Outflow interpolation."},
     * {@code "Error in Outflow-Elevation interpolation."} or
     * {@code "Error in Storage-Elevation interpolation."}, each followed on its next line by
     * the table lookup's text, when a value falls outside a table (routing goes on: a failed
     * outflow lookup makes the rest of that step undefined, a failed elevation lookup drops
     * the loss for that period); {@code "Invalid Modified Puls parameters: …"} for an interval
     * or step count below 1 and {@code "Cannot allocate memory for dynamic arrays."}, after
     * which {@code outflows} and {@code finalStepOutflows} are undefined.
     *
     * @param intervalMinutes interval of both hydrographs, minutes, at least 1; read
     * @param pairCount number of pairs in the three tables, 0 or more
     * @param storageTable storage of the whole reach, m³, ascending; length at least
     *     {@code pairCount}; read
     * @param outflowTable outflow at each storage, m³/s, ascending; length at least
     *     {@code pairCount}; read
     * @param elevationTable water-surface elevation of each pair, m; length at least
     *     {@code pairCount}; read
     * @param lossElevation elevation above which the loss acts, m; element 0 read (length at
     *     least 1)
     * @param lossRate loss per unit of storage ÷ depth (an area), m/s; element 0 read (length
     *     at least 1)
     * @param stepCount number of routing steps, at least 1
     * @param initialStepOutflows each step's net outflow (after the loss) at time 0, m³/s;
     *     length at least {@code stepCount}; read
     * @param finalStepOutflows each step's gross outflow (before the loss) at the last
     *     ordinate, m³/s; length at least {@code stepCount}; written
     * @param ordinateCount number of ordinates of both hydrographs, 0 or more
     * @param inflows inflow hydrograph, m³/s; length at least {@code ordinateCount}; read
     * @param outflows net outflow hydrograph, m³/s, never below 0; length at least
     *     {@code ordinateCount}; written
     * @param status not read
     * @param message the message field, W = {@code message.length - 1}; length at least 1,
     *     zero-filled; written when the routine reports something
     * @param messageLength not read
     * @return the message: {@code ""} when nothing was reported, otherwise the routine's text
     *     blank-padded to W characters
     */
    public static native String jniPulsChannelRoutingWithLosses(int intervalMinutes,
            int pairCount, double[] storageTable, double[] outflowTable,
            double[] elevationTable, double[] lossElevation, double[] lossRate, int stepCount,
            double[] initialStepOutflows, double[] finalStepOutflows, int ordinateCount,
            double[] inflows, double[] outflows, int status, byte[] message,
            int messageLength);
}
