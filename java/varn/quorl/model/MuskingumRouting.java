package varn.quorl.model;

/** Muskingum routing of a hydrograph through a reach of equal steps. */
public final class MuskingumRouting {
    static {
        NativeLibrary.load();
    }

    private MuskingumRouting() {}

    /**
     * Routes {@code inflows} through {@code stepCount} Muskingum steps.
     *
     * @param intervalMinutes interval of the hydrographs, minutes
     * @param muskingumK storage constant K of the whole reach, hours (element 0)
     * @param muskingumX weighting factor x, 0 to 0.5 (element 0)
     * @param stepCount number of routing steps
     * @param initialStepOutflows outflow of each step at the first ordinate
     * @param finalStepOutflows receives the outflow of each step at the last ordinate
     * @param ordinateCount number of ordinates
     * @param inflows inflow hydrograph
     * @param outflows receives the outflow hydrograph
     * @param status not used (the routine's status stays in the library)
     * @param message at least 81 bytes; the routine writes its message into the first 80
     * @param messageLength not used
     * @return the message text: empty (for a zero-filled message) when all went well
     */
    public static native String jniMuskingumRouting(int intervalMinutes, double[] muskingumK,
            double[] muskingumX, int stepCount, double[] initialStepOutflows,
            double[] finalStepOutflows, int ordinateCount, double[] inflows, double[] outflows,
            int status, byte[] message, int messageLength);
}
