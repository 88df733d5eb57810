package varn.quorl.model;

/**
 * Muskingum-Cunge routing through an eight-point natural cross-section. Conventions shared
 * by every class (units, lengths, the message, the undefined value) are in the
 * {@linkplain varn.quorl.model package description}.
 */
public final class MuskingumCunge8ptRouting {
    static {
        NativeLibrary.load();
    }

    private MuskingumCunge8ptRouting() {}

    /**
     * Routes {@code inflows}, plus lateral inflow per metre of reach, through a reach with one
     * eight-point section by variable-parameter Muskingum-Cunge. The routine chooses its own
     * computation interval (at most the hydrograph interval) and number of subreaches (1 to
     * 200) from the wave celerity. Scalar results come back in element 0 of their arrays.
     *
     * <p>Failure: bad reach or section data (an interval below 1 minute, a reach length,
     * slope or roughness that is not above 0 and finite, stations out of order) is refused
     * with the routine's text and no routing; working storage that cannot be obtained returns
     * {@code "Cannot allocate memory for dynamic arrays"}. After an error the outputs the
     * routine could not compute hold the undefined value. Warnings (a subreach that did not
     * converge, a depth search that did not converge) return their text with every result
     * computed.
     *
     * @param intervalMinutes interval of the hydrographs, minutes, at least 1; read
     * @param reachLength reach length L, m, above 0; element 0 read (length at least 1)
     * @param channelSlope bed slope, m/m, above 0; element 0 read (length at least 1)
     * @param stations the 8 stations across the section, m, left to right, never decreasing;
     *     length at least 8; read
     * @param elevations the 8 elevations of those stations, m: points 1–3 left overbank, 3–6
     *     main channel, 6–8 right overbank; length at least 8; read
     * @param manningN Manning's n of the left overbank, main channel and right overbank,
     *     s/m^(1/3), each above 0; length at least 3; read
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
     * @param message the message field, W = 80; length at least 81, zero-filled; written when
     *     the routine reports something
     * @param messageLength not read
     * @return the message: {@code ""} when nothing was reported, otherwise the routine's text
     *     blank-padded to 80 characters
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
