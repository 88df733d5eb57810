package varn.quorl.demo;

/**
 * Summary figures of one hydrograph: the peak and its time, and the volume by the
 * trapezoidal rule, V = dt (Q1/2 + Q2 + ... + Qn-1 + Qn/2). Undefined ordinates (the
 * library's undefined value, or NaN) are left out of the peak, and a trapezoid with an
 * undefined end is left out of the volume; {@code undefinedCount} says how many there were.
 */
record HydrographFigures(double peak, double peakHours, double volume, int undefinedCount) {
    /** The library's undefined value: bits C7D2CED320000000 (single-precision -1e38). */
    static final double UNDEFINED = Double.longBitsToDouble(0xC7D2CED320000000L);
    static final double CUBIC_METRES_PER_MILLION = 1.0e6;
    static final double PERCENT = 100.0;

    static boolean isUndefined(double value) {
        return value == UNDEFINED || Double.isNaN(value);
    }

    static HydrographFigures of(double[] flows, int intervalMinutes) {
        double dtSeconds = (double) intervalMinutes * Hydrograph.SECONDS_PER_MINUTE;
        double peak = Double.NaN;
        int peakIndex = -1;
        int undefined = 0;
        double volume = 0.0;
        for (int i = 0; i < flows.length; i++) {
            if (isUndefined(flows[i])) {
                undefined++;
                continue;
            }
            // The first of equal maxima is the peak.
            if (peakIndex < 0 || flows[i] > peak) {
                peak = flows[i];
                peakIndex = i;
            }
            if (i > 0 && !isUndefined(flows[i - 1])) {
                // V += dt (Q(i-1) + Q(i)) / 2
                volume += dtSeconds * (flows[i - 1] + flows[i]) * 0.5;
            }
        }
        double peakHours = peakIndex < 0 ? Double.NaN
                : (double) peakIndex * intervalMinutes / Hydrograph.MINUTES_PER_HOUR;
        return new HydrographFigures(peak, peakHours, volume, undefined);
    }

    /** Attenuation of this (outflow) peak against the inflow peak, percent. */
    double attenuationPercent(HydrographFigures inflow) {
        // a = (Qp,in - Qp,out) / Qp,in x 100
        return (inflow.peak - peak) / inflow.peak * PERCENT;
    }

    /** Lag of this (outflow) peak behind the inflow peak, hours. */
    double lagHours(HydrographFigures inflow) {
        return peakHours - inflow.peakHours;
    }

    double volumeMillions() {
        return volume / CUBIC_METRES_PER_MILLION;
    }
}
