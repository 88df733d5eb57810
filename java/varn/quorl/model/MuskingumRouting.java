package varn.quorl.model;

/**
 * Muskingum routing of a hydrograph through a reach of equal steps. Conventions shared by
 * every class (units, lengths, the message, the undefined value) are in the
 * {@linkplain varn.quorl.model package description}.
 */
public final class MuskingumRouting {
    static {
        NativeLibrary.load();
    }

    private MuskingumRouting() {}

    /**
     * Routes {@code inflows} through {@code stepCount} Muskingum steps, each with the storage
     * constant K / {@code stepCount}. Routing is stable while
     * 2·K·x/n ≤ Δt ≤ 2·(1 − x)·K/n, with Δt the interval in hours and n the step count;
     * outside these bounds the routine warns and routes anyway.
     *
     * <p>Failure: an interval, K or step count that is not above 0, or x outside 0 to 0.5,
     * returns {@code "Invalid Muskingum parameters: K = …, x = …, Number of reaches = …"}
     * (80 characters, blank-padded) and every element of {@code outflows} up to
     * {@code ordinateCount} is the undefined value.
     *
     * @param intervalMinutes interval of both hydrographs, minutes; read
     * @param muskingumK storage constant K of the whole reach, hours; element 0 read
     *     (length at least 1)
     * @param muskingumX weighting factor x, dimensionless, 0 to 0.5; element 0 read (length at
     *     least 1)
     * @param stepCount number of routing steps, at least 1
     * @param initialStepOutflows outflow of each step at time 0, m³/s; length at least
     *     {@code stepCount}; read
     * @param finalStepOutflows each step's outflow at the last ordinate, m³/s (pass it as
     *     {@code initialStepOutflows} to continue a run); length at least {@code stepCount};
     *     written
     * @param ordinateCount number of ordinates of both hydrographs, 0 or more
     * @param inflows inflow hydrograph, m³/s; length at least {@code ordinateCount}; read
     * @param outflows outflow hydrograph, m³/s; {@code outflows[0]} is the last step's initial
     *     outflow; length at least {@code ordinateCount}; written
     * @param status not read
     * @param message the message field, W = 80; length at least 81, zero-filled; written when
     *     the routine reports something
     * @param messageLength not read
     * @return the message: {@code ""} when nothing was reported, otherwise the routine's text
     *     blank-padded to 80 characters
     */
    public static native String jniMuskingumRouting(int intervalMinutes, double[] muskingumK,
            double[] muskingumX, int stepCount, double[] initialStepOutflows,
            double[] finalStepOutflows, int ordinateCount, double[] inflows, double[] outflows,
            int status, byte[] message, int messageLength);
}
