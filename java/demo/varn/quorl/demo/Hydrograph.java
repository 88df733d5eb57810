package varn.quorl.demo;

import java.io.BufferedReader;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * An inflow hydrograph: flows in m3/s at a fixed interval of whole minutes, the first at
 * time 0. Either the embedded design flood, a single-peaked gamma-shaped hydrograph
 * Q(t) = Qb + (Qp - Qb) [(t/tp) e^(1 - t/tp)]^m (the form of the synthetic unit-hydrograph
 * shape used in flood design practice), or a user's CSV file.
 */
record Hydrograph(String description, int intervalMinutes, double[] flows) {
    static final int MINUTES_PER_HOUR = 60;
    static final int SECONDS_PER_MINUTE = 60;

    // The design flood: 72 hours at 30-minute ordinates rising from a base flow of 25 m3/s
    // to 450 m3/s at 10 hours.
    static final int DESIGN_INTERVAL_MINUTES = 30;
    static final double DESIGN_DURATION_HOURS = 72.0;
    static final double DESIGN_BASE_FLOW = 25.0;      // m3/s
    static final double DESIGN_PEAK_FLOW = 450.0;     // m3/s
    static final double DESIGN_TIME_TO_PEAK = 10.0;   // hours
    static final double DESIGN_SHAPE_EXPONENT = 4.0;  // m, sharpness of the peak

    static final int MINIMUM_ORDINATES = 2;

    /** The embedded design flood. */
    static Hydrograph designFlood() {
        int ordinates = (int) (DESIGN_DURATION_HOURS * MINUTES_PER_HOUR
                / DESIGN_INTERVAL_MINUTES) + 1;
        double[] flows = new double[ordinates];
        for (int i = 0; i < ordinates; i++) {
            double hours = (double) i * DESIGN_INTERVAL_MINUTES / MINUTES_PER_HOUR;
            double ratio = hours / DESIGN_TIME_TO_PEAK;
            // Q(t) = Qb + (Qp - Qb) [(t/tp) e^(1 - t/tp)]^m
            flows[i] = DESIGN_BASE_FLOW + (DESIGN_PEAK_FLOW - DESIGN_BASE_FLOW)
                    * Math.pow(ratio * Math.exp(1.0 - ratio), DESIGN_SHAPE_EXPONENT);
        }
        return new Hydrograph("design flood, 72 h at 30 min, peak 450 m3/s at 10 h",
                DESIGN_INTERVAL_MINUTES, flows);
    }

    /**
     * Reads one flow per line, or time,flow per line (the time column is read and checked
     * as a number but not used: the interval is {@code intervalMinutes}). Blank lines and
     * lines starting with '#' are skipped; a first line starting with a letter is a header.
     * Flows are m3/s, finite and not negative.
     */
    static Hydrograph readCsv(Path file, int intervalMinutes) throws DemoInputError {
        if (intervalMinutes < 1) {
            throw new DemoInputError("the interval must be a whole number of minutes of at "
                    + "least 1, not " + intervalMinutes);
        }
        List<Double> flows = new ArrayList<>();
        try (BufferedReader reader = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
            String line;
            int lineNumber = 0;
            boolean firstContent = true;
            while ((line = reader.readLine()) != null) {
                lineNumber++;
                String content = line.strip();
                if (content.isEmpty() || content.startsWith("#")) {
                    continue;
                }
                if (firstContent && Character.isLetter(content.charAt(0))) {
                    firstContent = false;
                    continue;
                }
                firstContent = false;
                flows.add(parseLine(file, lineNumber, content));
            }
        } catch (NoSuchFileException e) {
            throw new DemoInputError("inflow file not found: " + file);
        } catch (IOException e) {
            throw new DemoInputError("cannot read inflow file " + file + ": " + e.getMessage());
        }
        if (flows.size() < MINIMUM_ORDINATES) {
            throw new DemoInputError(file + ": needs at least " + MINIMUM_ORDINATES
                    + " flows, found " + flows.size());
        }
        double[] values = flows.stream().mapToDouble(Double::doubleValue).toArray();
        return new Hydrograph(file.getFileName() + ", " + values.length + " ordinates at "
                + intervalMinutes + " min", intervalMinutes, values);
    }

    private static double parseLine(Path file, int lineNumber, String content)
            throws DemoInputError {
        String[] fields = content.split("[,;\\t]");
        if (fields.length > 2) {
            throw new DemoInputError(file + " line " + lineNumber
                    + ": expected a flow or time,flow, found " + fields.length + " fields");
        }
        if (fields.length == 2) {
            number(file, lineNumber, fields[0].strip());
        }
        double flow = number(file, lineNumber, fields[fields.length - 1].strip());
        if (flow < 0) {
            throw new DemoInputError(file + " line " + lineNumber + ": negative flow "
                    + fields[fields.length - 1].strip());
        }
        return flow;
    }

    private static double number(Path file, int lineNumber, String text) throws DemoInputError {
        try {
            double value = Double.parseDouble(text);
            if (Double.isFinite(value)) {
                return value;
            }
        } catch (NumberFormatException e) {
            // reported below with the line
        }
        throw new DemoInputError(file + " line " + lineNumber + ": '" + text
                + "' is not a number");
    }

    /** Time of ordinate {@code index} (from 0), hours. */
    double hoursAt(int index) {
        return (double) index * intervalMinutes / MINUTES_PER_HOUR;
    }

    double intervalSeconds() {
        return (double) intervalMinutes * SECONDS_PER_MINUTE;
    }
}
