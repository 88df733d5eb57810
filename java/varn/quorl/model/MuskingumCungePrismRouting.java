package varn.quorl.model;

/**
 * Muskingum-Cunge routing through a trapezoidal channel or a circular conduit. Conventions
 * shared by every class (units, lengths, the message, the undefined value) are in the
 * {@linkplain varn.quorl.model package description}.
 */
public final class MuskingumCungePrismRouting {
    static {
        NativeLibrary.load();
    }

    private MuskingumCungePrismRouting() {}

    /**
     * Routes {@code inflows}, plus lateral inflow per metre of reach, through a uniform
     * trapezoid (a rectangle for side slope 0, a triangle for bottom width 0), or through a
     * circular conduit when {@code sectionShape} is "CIRCLE", by variable-parameter
     * Muskingum-Cunge. The routine chooses its own computation interval and number of
     * subreaches. Scalar results come back in element 0 of their arrays. A conduit is taken
     * as full above a flow area of 0.65·D²: choose the diameter so that the peak stays below.
     *
     * <p>Failure: bad reach or section data (an interval below 1 minute, a reach length,
     * slope, roughness or diameter that is not above 0 and finite, a negative side slope or
     * bottom width, a trapezoid without width) is refused with the routine's text and no
     * routing; working storage that cannot be obtained returns {@code "Cannot allocate memory
     * for dynamic arrays"}. After an error the outputs the routine could not compute hold the
     * undefined value. Warnings (a subreach that did not converge, a conduit running full)
     * return their text with every result computed.
     *
     * @param intervalMinutes interval of the hydrographs, minutes, at least 1; read
     * @param reachLength reach length L, m, above 0; element 0 read (length at least 1)
     * @param channelSlope bed slope, m/m, above 0; element 0 read (length at least 1)
     * @param manningN Manning's n, s/m^(1/3), above 0; element 0 read (length at least 1)
     * @param sectionShape "CIRCLE" (upper case, optionally followed by blanks) for a circular
     *     conduit, any other text for a trapezoid; one byte per element (its low 8 bits), any
     *     length; read
     * @param bottomWidth bottom width of the trapezoid, or the diameter of the conduit, m;
     *     element 0 read (length at least 1)
     * @param sideSlope side slope of the trapezoid, horizontal per unit vertical (0: a
     *     rectangle), not used for a conduit; element 0 read (length at least 1)
     * @param initialFlowCount number M of points of the initial flow profile, at least 1
     * @param subreachesFromInitialFlows true: route through M − 1 subreaches instead of the
     *     number computed from the celerity
     * @param initialFlows M flows, m³/s, evenly spaced from the upstream to the downstream end
     *     at time 0; length at least {@code initialFlowCount}; read
     * @param finalFlows the same M points at the end, m³/s (pass them as
     *     {@code initialFlows} to continue a run); length at least {@code initialFlowCount};
     *     written
     * @param ordinateCount number N of ordinates of the hydrographs, at least 1
     * @param inflows upstream inflow hydrograph, m³/s; length at least {@code ordinateCount};
     *     read
     * @param lateralInflows lateral inflow, m³/s per metre of reach; length at least
     *     {@code ordinateCount}; read
     * @param outflows downstream outflow hydrograph, m³/s; length at least
     *     {@code ordinateCount}; written
     * @param computationInterval the computation interval Δt, seconds; element 0 written
     * @param subreachLength the subreach length Δx, m (subreaches = L / Δx); element 0 written
     * @param peakOutflow the largest computed outflow, m³/s (0 when none is above 0);
     *     element 0 written
     * @param peakTimeMinutes time of that peak after the first ordinate, minutes; element 0
     *     written, left as passed when there is no peak
     * @param maxCelerity the largest wave celerity met, m/s; element 0 written
     * @param initialStorage water in the reach at the start, m³; element 0 written
     * @param finalStorage water in the reach at the end, m³; element 0 written
     * @param inflowVolume volume that entered, upstream and lateral, m³; element 0 written
     * @param outflowVolume volume that left, m³; element 0 written
     * @param status not read
     * @param message the message field, W = {@code message.length - 1}; length at least 1,
     *     zero-filled; written when the routine reports something
     * @param messageLength not read
     * @param shapeLength not read (the shape's length is the array's)
     * @return the message: {@code ""} when nothing was reported, otherwise the routine's text
     *     blank-padded to W characters
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
