package varn.quorl.demo;

import java.io.IOException;
import java.io.PrintStream;
import java.io.PrintWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;

/**
 * The demo's results: the console table (peak, its time, attenuation and lag against the
 * inflow peak, inflow and outflow volumes, the computation interval and subreaches that
 * Muskingum-Cunge reports, the routine's message), and two machine-readable files:
 * results.csv with the same figures at full precision plus the values the library reported,
 * and hydrographs.csv with every series.
 */
final class ResultsReport {
    static final String RESULTS_FILE = "results.csv";
    static final String HYDROGRAPHS_FILE = "hydrographs.csv";
    static final String INFLOW_NAME = "Inflow";
    private static final String NONE = "-";
    private static final String ROW = "%-26s %7s %5s %6s %5s %7s %7s %6s %4s  %s";

    private final Hydrograph inflow;
    private final HydrographFigures inflowFigures;
    private final List<RoutingMethods.Result> results;
    private final double reachLength;

    ResultsReport(Hydrograph inflow, List<RoutingMethods.Result> results, double reachLength) {
        this.inflow = inflow;
        this.inflowFigures = HydrographFigures.of(inflow.flows(), inflow.intervalMinutes());
        this.results = results;
        this.reachLength = reachLength;
    }

    HydrographFigures figures(RoutingMethods.Result result) {
        return HydrographFigures.of(result.outflows(), inflow.intervalMinutes());
    }

    void printTable(PrintStream out) {
        out.println(String.format(Locale.ROOT, ROW, "Method", "Peak", "Time", "Atten.", "Lag",
                "In vol", "Out vol", "dt", "Sub", "Message"));
        out.println(String.format(Locale.ROOT, ROW, "", "m3/s", "h", "%", "h", "hm3", "hm3",
                "s", "rch", ""));
        out.println(String.format(Locale.ROOT, ROW, INFLOW_NAME, fixed(inflowFigures.peak(), 1),
                fixed(inflowFigures.peakHours(), 1), NONE, NONE,
                fixed(inflowFigures.volumeMillions(), 3), NONE, NONE, NONE, ""));
        for (RoutingMethods.Result r : results) {
            HydrographFigures f = figures(r);
            int subreaches = r.subreaches(reachLength);
            out.println(String.format(Locale.ROOT, ROW, r.method(), fixed(f.peak(), 1),
                    fixed(f.peakHours(), 1), fixed(f.attenuationPercent(inflowFigures), 1),
                    fixed(f.lagHours(inflowFigures), 1), fixed(inflowFigures.volumeMillions(), 3),
                    fixed(f.volumeMillions(), 3), fixed(r.computationIntervalSeconds(), 0),
                    subreaches > 0 ? Integer.toString(subreaches) : NONE,
                    r.message().isEmpty() ? "" : r.message()));
        }
        out.println("(hm3 = million m3; dt and Sub: computation interval and subreaches chosen "
                + "by Muskingum-Cunge; an empty message means the routine reported nothing)");
    }

    private static String fixed(double value, int decimals) {
        if (HydrographFigures.isUndefined(value) || Double.isInfinite(value)) {
            return NONE;
        }
        return String.format(Locale.ROOT, "%." + decimals + "f", value);
    }

    void writeResults(Path file) throws IOException {
        try (PrintWriter w = new PrintWriter(Files.newBufferedWriter(file,
                StandardCharsets.UTF_8))) {
            w.println("method,peak_m3s,peak_time_h,attenuation_pct,lag_h,inflow_volume_m3,"
                    + "outflow_volume_m3,computation_interval_s,subreaches,steps,"
                    + "reported_peak_m3s,reported_peak_time_min,reported_inflow_volume_m3,"
                    + "reported_outflow_volume_m3,initial_storage_m3,final_storage_m3,"
                    + "max_celerity_ms,undefined_ordinates,message");
            w.println(String.join(",", INFLOW_NAME, full(inflowFigures.peak()),
                    full(inflowFigures.peakHours()), "", "", full(inflowFigures.volume()),
                    "", "", "", "", "", "", "", "", "", "", "",
                    Integer.toString(inflowFigures.undefinedCount()), ""));
            for (RoutingMethods.Result r : results) {
                HydrographFigures f = figures(r);
                w.println(String.join(",", r.method(), full(f.peak()), full(f.peakHours()),
                        full(f.attenuationPercent(inflowFigures)),
                        full(f.lagHours(inflowFigures)), full(inflowFigures.volume()),
                        full(f.volume()), full(r.computationIntervalSeconds()),
                        Integer.toString(r.subreaches(reachLength)), Integer.toString(r.steps()),
                        full(r.reportedPeak()), full(r.reportedPeakMinutes()),
                        full(r.reportedInflowVolume()), full(r.reportedOutflowVolume()),
                        full(r.initialStorage()), full(r.finalStorage()),
                        full(r.maxCelerity()), Integer.toString(f.undefinedCount()),
                        quoted(r.message())));
            }
        }
    }

    void writeHydrographs(Path file) throws IOException {
        try (PrintWriter w = new PrintWriter(Files.newBufferedWriter(file,
                StandardCharsets.UTF_8))) {
            StringBuilder header = new StringBuilder("time_h,").append(INFLOW_NAME);
            for (RoutingMethods.Result r : results) {
                header.append(',').append(r.method());
            }
            w.println(header);
            double[] flows = inflow.flows();
            for (int i = 0; i < flows.length; i++) {
                StringBuilder line = new StringBuilder(full(inflow.hoursAt(i)))
                        .append(',').append(full(flows[i]));
                for (RoutingMethods.Result r : results) {
                    line.append(',').append(full(r.outflows()[i]));
                }
                w.println(line);
            }
        }
    }

    /** A value that reads back exactly; empty for an undefined or missing value. */
    private static String full(double value) {
        return HydrographFigures.isUndefined(value) ? "" : Double.toString(value);
    }

    private static String quoted(String text) {
        return "\"" + text.replace("\"", "\"\"") + "\"";
    }
}
