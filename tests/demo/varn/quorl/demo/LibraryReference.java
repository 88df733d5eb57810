package varn.quorl.demo;

import java.io.IOException;
import java.io.Reader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Properties;
import varn.quorl.model.MuskingumCunge8ptRouting;
import varn.quorl.model.MuskingumCungePrismRouting;
import varn.quorl.model.MuskingumRouting;
import varn.quorl.model.PulsChannelRouting;
import varn.quorl.model.PulsChannelRoutingWithLosses;

/**
 * The library's own answers for the demo's reach: every entry point called directly from
 * the reach properties file and an inflow series, independently of the demo's code.
 */
final class LibraryReference {
    /** One method's outflows, message, and the Muskingum-Cunge interval and subreach. */
    record Routed(double[] outflows, String message, double intervalSeconds,
            double subreachLength) {}

    private final Properties p = new Properties();

    LibraryReference(Path reachFile, Path overrides) throws IOException {
        try (Reader r = Files.newBufferedReader(reachFile)) {
            p.load(r);
        }
        if (overrides != null) {
            try (Reader r = Files.newBufferedReader(overrides)) {
                p.load(r);
            }
        }
    }

    double number(String key) {
        return Double.parseDouble(p.getProperty(key).trim());
    }

    int count(String key) {
        return Integer.parseInt(p.getProperty(key).trim());
    }

    double[] list(String key) {
        return Arrays.stream(p.getProperty(key).split(",")).map(String::trim)
                .mapToDouble(Double::parseDouble).toArray();
    }

    /** Method name as the demo prints it, to the library's result, in the demo's order. */
    Map<String, Routed> routeAll(int interval, double[] inflows) {
        Map<String, Routed> all = new LinkedHashMap<>();
        double base = inflows[0];  // the reach starts in steady state
        int n = inflows.length;

        int steps = count("muskingum.steps");
        double[] out = new double[n];
        String text = MuskingumRouting.jniMuskingumRouting(interval,
                new double[] {number("muskingum.k.hours")}, new double[] {number("muskingum.x")},
                steps, filled(steps, base), new double[steps], n, inflows.clone(), out, 0,
                new byte[81], 80);
        all.put("Muskingum", new Routed(out, text, Double.NaN, Double.NaN));

        int m = count("cunge.initial.flow.points");
        double[] length = {number("cunge.reach.length.m")};
        double[] slope = {number("cunge.slope")};
        double[] dt = {0};
        double[] dx = {0};
        out = new double[n];
        text = MuskingumCunge8ptRouting.jniMuskingumCunge8ptRouting(interval, length, slope,
                list("section8.stations.m"), list("section8.elevations.m"),
                list("section8.manning"), m, false, filled(m, base), new double[m], n,
                inflows.clone(), new double[n], out, dt, dx, new double[1], new double[1],
                new double[1], new double[1], new double[1], new double[1], new double[1], 0,
                new byte[81], 80);
        all.put("Muskingum-Cunge 8-point", new Routed(out, text, dt[0], dx[0]));

        all.put("Muskingum-Cunge trapezoid", prism(interval, inflows, "TRAPEZOID",
                number("trapezoid.bottom.width.m"), number("trapezoid.side.slope"),
                number("trapezoid.manning")));
        all.put("Muskingum-Cunge circle", prism(interval, inflows, "CIRCLE",
                number("circle.diameter.m"), 0.0, number("circle.manning")));

        int pulsSteps = count("puls.steps");
        double[] storage = list("puls.storage.m3");
        double[] outflowTable = list("puls.outflow.m3s");
        out = new double[n];
        text = PulsChannelRouting.jniPulsChannelRouting(interval, storage.length, storage,
                outflowTable, pulsSteps, filled(pulsSteps, base), new double[pulsSteps], n,
                inflows.clone(), out, 0, new byte[81], 80);
        all.put("Modified Puls", new Routed(out, text, Double.NaN, Double.NaN));

        out = new double[n];
        text = PulsChannelRoutingWithLosses.jniPulsChannelRoutingWithLosses(interval,
                storage.length, storage, outflowTable, list("loss.elevation.table.m"),
                new double[] {number("loss.elevation.m")},
                new double[] {number("loss.rate.m.per.s")}, pulsSteps, filled(pulsSteps, base),
                new double[pulsSteps], n, inflows.clone(), out, 0, new byte[81], 80);
        all.put("Modified Puls with loss", new Routed(out, text, Double.NaN, Double.NaN));
        return all;
    }

    private Routed prism(int interval, double[] inflows, String shape, double width,
            double sideSlope, double manningN) {
        int n = inflows.length;
        int m = count("cunge.initial.flow.points");
        double[] dt = {0};
        double[] dx = {0};
        double[] out = new double[n];
        char[] shapeText = shape.toCharArray();
        String text = MuskingumCungePrismRouting.jniMuskingumCungePrismRouting(interval,
                new double[] {number("cunge.reach.length.m")},
                new double[] {number("cunge.slope")}, new double[] {manningN}, shapeText,
                new double[] {width}, new double[] {sideSlope}, m, false,
                filled(m, inflows[0]), new double[m], n, inflows.clone(),
                new double[n], out, dt, dx, new double[1], new double[1], new double[1],
                new double[1], new double[1], new double[1], new double[1], 0, new byte[81],
                80, shapeText.length);
        return new Routed(out, text, dt[0], dx[0]);
    }

    private static double[] filled(int length, double value) {
        double[] values = new double[length];
        Arrays.fill(values, value);
        return values;
    }
}
