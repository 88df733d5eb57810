package varn.quorl.demo;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import varn.quorl.model.MuskingumCunge8ptRouting;
import varn.quorl.model.MuskingumCungePrismRouting;
import varn.quorl.model.MuskingumRouting;
import varn.quorl.model.PulsChannelRouting;
import varn.quorl.model.PulsChannelRoutingWithLosses;

/**
 * Routes one inflow hydrograph through the five methods of the routing library, calling
 * its native entry points exactly as a modelling host does: scalars by value, single
 * values in element 0 of a double[], a zero-filled message byte[] whose text comes back
 * as the return value. The reach starts in steady state at the first inflow ordinate.
 */
final class RoutingMethods {
    /** Message array length: 80 characters of text and the terminating zero byte. */
    static final int MESSAGE_BYTES = 81;
    static final int MESSAGE_WIDTH = MESSAGE_BYTES - 1;
    /** Shape text that selects the circular conduit. */
    static final String CIRCLE = "CIRCLE";
    static final String TRAPEZOID = "TRAPEZOID";

    /**
     * What one method returned. Reported values are NaN where the method has none;
     * {@code unavailable} is set (and the outflows are NaN) when the library could not be
     * loaded or lacks the method's entry point.
     */
    record Result(String method, double[] outflows, String message, int steps,
            double computationIntervalSeconds, double subreachLength, double reportedPeak,
            double reportedPeakMinutes, double reportedInflowVolume,
            double reportedOutflowVolume, double initialStorage, double finalStorage,
            double maxCelerity, boolean unavailable) {
        /** Subreaches of a Muskingum-Cunge run (reach length / subreach length), else 0. */
        int subreaches(double reachLength) {
            return Double.isNaN(subreachLength) || !(subreachLength > 0) ? 0
                    : (int) Math.round(reachLength / subreachLength);
        }
    }

    private RoutingMethods() {}

    static final String MUSKINGUM = "Muskingum";
    static final String CUNGE_8POINT = "Muskingum-Cunge 8-point";
    static final String CUNGE_TRAPEZOID = "Muskingum-Cunge trapezoid";
    static final String CUNGE_CIRCLE = "Muskingum-Cunge circle";
    static final String PULS = "Modified Puls";
    static final String PULS_LOSS = "Modified Puls with loss";

    /** A call of one method's entry point. */
    private interface Method {
        Result route();
    }

    /** Every method in turn; a method whose entry point cannot be called is marked. */
    static List<Result> routeAll(Hydrograph inflow, ReachSettings reach) {
        List<Result> results = new ArrayList<>();
        int n = inflow.flows().length;
        results.add(guarded(MUSKINGUM, n, () -> muskingum(inflow, reach)));
        results.add(guarded(CUNGE_8POINT, n, () -> cungeEightPoint(inflow, reach)));
        results.add(guarded(CUNGE_TRAPEZOID, n, () -> cungePrism(inflow, reach,
                CUNGE_TRAPEZOID, TRAPEZOID, reach.bottomWidth, reach.sideSlope,
                reach.trapezoidManning)));
        results.add(guarded(CUNGE_CIRCLE, n, () -> cungePrism(inflow, reach, CUNGE_CIRCLE,
                CIRCLE, reach.diameter, 0.0, reach.circleManning)));
        results.add(guarded(PULS, n, () -> puls(inflow, reach)));
        results.add(guarded(PULS_LOSS, n, () -> pulsWithLoss(inflow, reach)));
        return results;
    }

    private static Result guarded(String method, int ordinates, Method call) {
        try {
            return call.route();
        } catch (UnsatisfiedLinkError | ExceptionInInitializerError | NoClassDefFoundError e) {
            Throwable cause = e.getCause() != null ? e.getCause() : e;
            double[] none = new double[ordinates];
            Arrays.fill(none, Double.NaN);
            return new Result(method, none, "not available: " + cause, 0, Double.NaN,
                    Double.NaN, Double.NaN, Double.NaN, Double.NaN, Double.NaN, Double.NaN,
                    Double.NaN, Double.NaN, true);
        }
    }

    static Result muskingum(Hydrograph inflow, ReachSettings reach) {
        int n = inflow.flows().length;
        double[] outflows = new double[n];
        double[] initial = filled(reach.muskingumSteps, initialFlow(inflow));
        double[] finals = new double[reach.muskingumSteps];
        String text = MuskingumRouting.jniMuskingumRouting(inflow.intervalMinutes(),
                new double[] {reach.muskingumKHours}, new double[] {reach.muskingumX},
                reach.muskingumSteps, initial, finals, n, inflow.flows().clone(), outflows, 0,
                new byte[MESSAGE_BYTES], MESSAGE_WIDTH);
        return plain(MUSKINGUM, outflows, text, reach.muskingumSteps);
    }

    static Result cungeEightPoint(Hydrograph inflow, ReachSettings reach) {
        int n = inflow.flows().length;
        int m = reach.initialFlowPoints;
        Scalars s = new Scalars();
        double[] outflows = new double[n];
        String text = MuskingumCunge8ptRouting.jniMuskingumCunge8ptRouting(
                inflow.intervalMinutes(), new double[] {reach.reachLength},
                new double[] {reach.channelSlope}, reach.stations.clone(),
                reach.elevations.clone(), reach.sectionManning.clone(), m, false,
                filled(m, initialFlow(inflow)), new double[m], n, inflow.flows().clone(),
                new double[n], outflows, s.interval, s.subreach, s.peak, s.peakMinutes,
                s.celerity, s.initialStorage, s.finalStorage, s.inflowVolume, s.outflowVolume,
                0, new byte[MESSAGE_BYTES], MESSAGE_WIDTH);
        return s.result(CUNGE_8POINT, outflows, text);
    }

    static Result cungePrism(Hydrograph inflow, ReachSettings reach, String method,
            String shape, double width, double sideSlope, double manningN) {
        int n = inflow.flows().length;
        int m = reach.initialFlowPoints;
        Scalars s = new Scalars();
        double[] outflows = new double[n];
        char[] shapeText = shape.toCharArray();
        String text = MuskingumCungePrismRouting.jniMuskingumCungePrismRouting(
                inflow.intervalMinutes(), new double[] {reach.reachLength},
                new double[] {reach.channelSlope}, new double[] {manningN}, shapeText,
                new double[] {width}, new double[] {sideSlope}, m, false,
                filled(m, initialFlow(inflow)), new double[m], n, inflow.flows().clone(),
                new double[n], outflows, s.interval, s.subreach, s.peak, s.peakMinutes,
                s.celerity, s.initialStorage, s.finalStorage, s.inflowVolume, s.outflowVolume,
                0, new byte[MESSAGE_BYTES], MESSAGE_WIDTH, shapeText.length);
        return s.result(method, outflows, text);
    }

    static Result puls(Hydrograph inflow, ReachSettings reach) {
        int n = inflow.flows().length;
        double[] outflows = new double[n];
        String text = PulsChannelRouting.jniPulsChannelRouting(inflow.intervalMinutes(),
                reach.storageTable.length, reach.storageTable.clone(),
                reach.outflowTable.clone(), reach.pulsSteps,
                filled(reach.pulsSteps, initialFlow(inflow)), new double[reach.pulsSteps], n,
                inflow.flows().clone(), outflows, 0, new byte[MESSAGE_BYTES], MESSAGE_WIDTH);
        return plain(PULS, outflows, text, reach.pulsSteps);
    }

    static Result pulsWithLoss(Hydrograph inflow, ReachSettings reach) {
        int n = inflow.flows().length;
        double[] outflows = new double[n];
        String text = PulsChannelRoutingWithLosses.jniPulsChannelRoutingWithLosses(
                inflow.intervalMinutes(), reach.storageTable.length, reach.storageTable.clone(),
                reach.outflowTable.clone(), reach.elevationTable.clone(),
                new double[] {reach.lossElevation}, new double[] {reach.lossRate},
                reach.pulsSteps, filled(reach.pulsSteps, initialFlow(inflow)),
                new double[reach.pulsSteps], n, inflow.flows().clone(), outflows, 0,
                new byte[MESSAGE_BYTES], MESSAGE_WIDTH);
        return plain(PULS_LOSS, outflows, text, reach.pulsSteps);
    }

    private static Result plain(String method, double[] outflows, String text, int steps) {
        return new Result(method, outflows, clean(text), steps, Double.NaN, Double.NaN,
                Double.NaN, Double.NaN, Double.NaN, Double.NaN, Double.NaN, Double.NaN,
                Double.NaN, false);
    }

    /** The returned text without its blank padding; lines joined by " / ". */
    static String clean(String text) {
        if (text == null) {
            return "(no text returned)";
        }
        return String.join(" / ", text.strip().lines().map(String::strip)
                .filter(line -> !line.isEmpty()).toList());
    }

    /** Every method starts in steady state: each step and point carries the first inflow. */
    private static double initialFlow(Hydrograph inflow) {
        return inflow.flows()[0];
    }

    private static double[] filled(int length, double value) {
        double[] values = new double[length];
        Arrays.fill(values, value);
        return values;
    }

    /** The single-value result arrays of a Muskingum-Cunge call. */
    private static final class Scalars {
        final double[] interval = {Double.NaN};
        final double[] subreach = {Double.NaN};
        final double[] peak = {Double.NaN};
        final double[] peakMinutes = {Double.NaN};
        final double[] celerity = {Double.NaN};
        final double[] initialStorage = {Double.NaN};
        final double[] finalStorage = {Double.NaN};
        final double[] inflowVolume = {Double.NaN};
        final double[] outflowVolume = {Double.NaN};

        Result result(String method, double[] outflows, String text) {
            return new Result(method, outflows, clean(text), 0, interval[0], subreach[0],
                    peak[0], peakMinutes[0], inflowVolume[0], outflowVolume[0],
                    initialStorage[0], finalStorage[0], celerity[0], false);
        }
    }
}
