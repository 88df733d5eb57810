package varn.quorl.demo;

import java.io.IOException;
import java.io.InputStream;
import java.io.Reader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.Properties;
import java.util.Set;
import java.util.TreeSet;

/**
 * The reach of every routing method, read from a properties file. The defaults are the
 * reach.properties resource shipped in the jar; a user's file replaces the keys it names.
 * Units: lengths and elevations m, flows m3/s, storage m3, Muskingum K hours, Manning's n
 * s/m^(1/3), loss rate m/s.
 */
final class ReachSettings {
    static final String DEFAULT_RESOURCE = "reach.properties";
    static final int SECTION_POINTS = 8;
    static final int SECTION_ROUGHNESS_VALUES = 3;
    static final int MINIMUM_TABLE_PAIRS = 2;

    final double muskingumKHours;
    final double muskingumX;
    final int muskingumSteps;
    final double reachLength;
    final double channelSlope;
    final int initialFlowPoints;
    final double[] stations;
    final double[] elevations;
    final double[] sectionManning;
    final double bottomWidth;
    final double sideSlope;
    final double trapezoidManning;
    final double diameter;
    final double circleManning;
    final int pulsSteps;
    final double[] storageTable;
    final double[] outflowTable;
    final double[] elevationTable;
    final double lossElevation;
    final double lossRate;

    private ReachSettings(Values v) throws DemoInputError {
        muskingumKHours = v.number("muskingum.k.hours");
        muskingumX = v.number("muskingum.x");
        muskingumSteps = v.count("muskingum.steps");
        reachLength = v.positive("cunge.reach.length.m");
        channelSlope = v.positive("cunge.slope");
        initialFlowPoints = v.count("cunge.initial.flow.points");
        stations = v.list("section8.stations.m", SECTION_POINTS);
        elevations = v.list("section8.elevations.m", SECTION_POINTS);
        sectionManning = v.list("section8.manning", SECTION_ROUGHNESS_VALUES);
        bottomWidth = v.positive("trapezoid.bottom.width.m");
        sideSlope = v.nonNegative("trapezoid.side.slope");
        trapezoidManning = v.positive("trapezoid.manning");
        diameter = v.positive("circle.diameter.m");
        circleManning = v.positive("circle.manning");
        pulsSteps = v.count("puls.steps");
        storageTable = v.table("puls.storage.m3");
        outflowTable = v.table("puls.outflow.m3s");
        elevationTable = v.table("loss.elevation.table.m");
        lossElevation = v.number("loss.elevation.m");
        lossRate = v.nonNegative("loss.rate.m.per.s");
        if (outflowTable.length != storageTable.length
                || elevationTable.length != storageTable.length) {
            throw new DemoInputError(v.source + ": puls.storage.m3, puls.outflow.m3s and "
                    + "loss.elevation.table.m must have the same number of values ("
                    + storageTable.length + ", " + outflowTable.length + ", "
                    + elevationTable.length + ")");
        }
    }

    /** The shipped defaults. */
    static ReachSettings defaults() throws DemoInputError {
        return new ReachSettings(new Values(defaultProperties(), DEFAULT_RESOURCE));
    }

    /** The shipped defaults with the keys of {@code file} replacing theirs. */
    static ReachSettings load(Path file) throws DemoInputError {
        Properties merged = defaultProperties();
        Properties user = new Properties();
        try (Reader reader = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
            user.load(reader);
        } catch (NoSuchFileException e) {
            throw new DemoInputError("reach file not found: " + file);
        } catch (IOException | IllegalArgumentException e) {
            throw new DemoInputError("cannot read reach file " + file + ": " + e.getMessage());
        }
        Set<String> unknown = new TreeSet<>(user.stringPropertyNames());
        unknown.removeAll(merged.stringPropertyNames());
        if (!unknown.isEmpty()) {
            throw new DemoInputError(file + ": unknown key " + unknown.iterator().next()
                    + " (see " + DEFAULT_RESOURCE + " for the keys)");
        }
        merged.putAll(user);
        return new ReachSettings(new Values(merged, file.toString()));
    }

    /** The text of the shipped defaults, for a user who wants a copy to edit. */
    static String defaultText() {
        try (InputStream in = resource()) {
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new IllegalStateException("the jar lacks " + DEFAULT_RESOURCE, e);
        }
    }

    private static InputStream resource() throws IOException {
        InputStream in = ReachSettings.class.getResourceAsStream(DEFAULT_RESOURCE);
        if (in == null) {
            throw new IOException("resource " + DEFAULT_RESOURCE + " missing");
        }
        return in;
    }

    private static Properties defaultProperties() {
        Properties p = new Properties();
        try (InputStream in = resource()) {
            p.load(in);
        } catch (IOException e) {
            throw new IllegalStateException("the jar lacks " + DEFAULT_RESOURCE, e);
        }
        return p;
    }

    /** Typed, checked access to the merged properties; errors name the key and the file. */
    private static final class Values {
        final Properties properties;
        final String source;

        Values(Properties properties, String source) {
            this.properties = properties;
            this.source = source;
        }

        private String text(String key) throws DemoInputError {
            String value = properties.getProperty(key);
            if (value == null || value.isBlank()) {
                throw new DemoInputError(source + ": " + key + " has no value");
            }
            return value.trim();
        }

        private double parse(String key, String text) throws DemoInputError {
            try {
                double value = Double.parseDouble(text);
                if (Double.isFinite(value)) {
                    return value;
                }
            } catch (NumberFormatException e) {
                // reported below with the key
            }
            throw new DemoInputError(source + ": " + key + " = '" + text + "' is not a number");
        }

        double number(String key) throws DemoInputError {
            return parse(key, text(key));
        }

        double positive(String key) throws DemoInputError {
            double value = number(key);
            if (!(value > 0)) {
                throw new DemoInputError(source + ": " + key + " must be greater than 0, not "
                        + text(key));
            }
            return value;
        }

        double nonNegative(String key) throws DemoInputError {
            double value = number(key);
            if (value < 0) {
                throw new DemoInputError(source + ": " + key + " must not be negative, not "
                        + text(key));
            }
            return value;
        }

        int count(String key) throws DemoInputError {
            String text = text(key);
            try {
                int value = Integer.parseInt(text);
                if (value >= 1) {
                    return value;
                }
            } catch (NumberFormatException e) {
                // reported below with the key
            }
            throw new DemoInputError(source + ": " + key + " = '" + text
                    + "' is not a whole number of at least 1");
        }

        double[] list(String key, int expected) throws DemoInputError {
            double[] values = values(key);
            if (values.length != expected) {
                throw new DemoInputError(source + ": " + key + " needs " + expected
                        + " values, not " + values.length);
            }
            return values;
        }

        double[] table(String key) throws DemoInputError {
            double[] values = values(key);
            if (values.length < MINIMUM_TABLE_PAIRS) {
                throw new DemoInputError(source + ": " + key + " needs at least "
                        + MINIMUM_TABLE_PAIRS + " values");
            }
            return values;
        }

        private double[] values(String key) throws DemoInputError {
            String[] parts = text(key).split(",");
            double[] values = new double[parts.length];
            for (int i = 0; i < parts.length; i++) {
                values[i] = parse(key, parts[i].trim());
            }
            return values;
        }
    }
}
