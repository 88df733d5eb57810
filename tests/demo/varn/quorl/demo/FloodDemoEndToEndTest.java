package varn.quorl.demo;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.ZoneOffset;
import java.time.ZonedDateTime;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.concurrent.CompletableFuture;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestInstance;

/**
 * Runs the demo as a user does (its output piped into cronel) and checks every deliverable
 * against the library's own results: the printed table, results.csv, hydrographs.csv, the
 * PNG and the date-named log file. Then bad input, which must give one line and exit 2.
 */
@TestInstance(TestInstance.Lifecycle.PER_CLASS)
class FloodDemoEndToEndTest {
    private static final Path WORK = Path.of(System.getProperty("demo.work"));
    private static final Path REACH = Path.of(System.getProperty("demo.reach"));
    private static final Path EXAMPLES = Path.of(System.getProperty("demo.examples"));
    private static final String LOG_BASE = "flood-demo";
    private static final Pattern LOG_NAME =
            Pattern.compile(LOG_BASE + "\\.\\d{4}\\.\\d\\d\\.\\d\\d\\.\\d\\d\\.\\d\\d\\.utc");
    private static final Pattern STAMP = Pattern.compile("^\\d\\d:\\d\\d:\\d\\d:");
    private static final double RELATIVE = 1e-12;
    private static final int SECONDS_PER_MINUTE = 60;
    private static final int EXIT_BAD_INPUT = 2;
    private static final int NAME_WIDTH = 26;  // the table's method column

    /** One process run: exit status, standard output and standard error. */
    record Run(int status, String out, String err) {
        List<String> outLines() {
            return out.lines().toList();
        }
    }

    private Path runFolder;
    private Run pipeline;
    private ZonedDateTime started;
    private ZonedDateTime finished;

    private static List<String> demoCommand(String... args) {
        List<String> command = new ArrayList<>(List.of(System.getProperty("demo.java"),
                "-Djava.awt.headless=true",
                "-Dtovalin.library=" + System.getProperty("tovalin.library"), "-jar",
                System.getProperty("demo.jar")));
        command.addAll(List.of(args));
        return command;
    }

    private static String drain(InputStream in) {
        try (in) {
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
    }

    /** The demo alone, its output captured. */
    static Run demo(String... args) throws Exception {
        Process p = new ProcessBuilder(demoCommand(args)).start();
        CompletableFuture<String> err = CompletableFuture.supplyAsync(
                () -> drain(p.getErrorStream()));
        String out = drain(p.getInputStream());
        return new Run(p.waitFor(), out, err.get());
    }

    @BeforeAll
    void runDemoIntoCronel() throws Exception {
        Files.createDirectories(WORK);
        runFolder = Files.createTempDirectory(WORK, "run-");
        started = ZonedDateTime.now(ZoneOffset.UTC);
        List<Process> processes = ProcessBuilder.startPipeline(List.of(
                new ProcessBuilder(demoCommand("--out", runFolder.toString()))
                        .redirectError(ProcessBuilder.Redirect.INHERIT),
                new ProcessBuilder(System.getProperty("demo.cronel"), "-o",
                        runFolder.resolve(LOG_BASE).toString())));
        Process cronel = processes.get(1);
        CompletableFuture<String> err = CompletableFuture.supplyAsync(
                () -> drain(cronel.getErrorStream()));
        String echoed = drain(cronel.getInputStream());
        int demoStatus = processes.get(0).waitFor();
        assertEquals(0, cronel.waitFor(), "cronel's exit status");
        finished = ZonedDateTime.now(ZoneOffset.UTC);
        pipeline = new Run(demoStatus, echoed, err.get());
    }

    /** Peak, its time (h) and trapezoidal volume (m3) of a series, skipping undefined values. */
    record Figures(double peak, double peakHours, double volume) {
        static Figures of(double[] q, int intervalMinutes) {
            int peakAt = -1;
            double volume = 0;
            for (int i = 0; i < q.length; i++) {
                if (undefined(q[i])) {
                    continue;
                }
                if (peakAt < 0 || q[i] > q[peakAt]) {
                    peakAt = i;
                }
                if (i > 0 && !undefined(q[i - 1])) {
                    volume += (q[i - 1] + q[i]) / 2 * intervalMinutes * SECONDS_PER_MINUTE;
                }
            }
            return new Figures(peakAt < 0 ? Double.NaN : q[peakAt],
                    peakAt < 0 ? Double.NaN : peakAt * intervalMinutes / 60.0, volume);
        }
    }

    static boolean undefined(double value) {
        return Double.isNaN(value) || value == Double.longBitsToDouble(0xC7D2CED320000000L);
    }

    /** Columns of a CSV file by header name; an empty field reads as NaN. */
    static Map<String, List<String>> csvColumns(Path file) throws IOException {
        List<String> lines = Files.readAllLines(file);
        String[] header = lines.get(0).split(",");
        Map<String, List<String>> columns = new HashMap<>();
        for (String name : header) {
            columns.put(name, new ArrayList<>());
        }
        for (String line : lines.subList(1, lines.size())) {
            String[] fields = line.split(",", header.length);
            for (int i = 0; i < header.length; i++) {
                columns.get(header[i]).add(fields[i]);
            }
        }
        return columns;
    }

    static double[] numbers(List<String> fields) {
        return fields.stream().mapToDouble(f -> f.isEmpty() ? Double.NaN
                : Double.parseDouble(f)).toArray();
    }

    static String fixed(double value, int decimals) {
        return undefined(value) ? "-" : String.format(Locale.ROOT, "%." + decimals + "f", value);
    }

    /** The printed table row of a method: its eight figures and its message. */
    static List<String> row(List<String> lines, String method) {
        String line = lines.stream()
                .filter(l -> l.length() > NAME_WIDTH
                        && l.substring(0, NAME_WIDTH).strip().equals(method))
                .findFirst().orElseThrow(() -> new AssertionError("no row for " + method));
        String[] parts = line.substring(NAME_WIDTH).strip().split("\\s+", 9);
        List<String> fields = new ArrayList<>(Arrays.asList(parts));
        if (fields.size() == 8) {
            fields.add("");
        }
        return fields;
    }

    static String cleaned(String text) {
        return String.join(" / ", text.strip().lines().map(String::strip)
                .filter(s -> !s.isEmpty()).toList());
    }

    @Nested
    class DefaultRun {
        @Test
        void completesAndNamesItsOutputs() {
            assertEquals(0, pipeline.status(), "demo exit status; stderr: " + pipeline.err());
            assertTrue(pipeline.out().contains("Plot:        "
                    + runFolder.resolve("flood.png").toAbsolutePath()));
            assertTrue(Files.isRegularFile(runFolder.resolve("results.csv")));
            assertTrue(Files.isRegularFile(runFolder.resolve("hydrographs.csv")));
        }

        @Test
        void tableAndFilesAgreeWithTheLibrary() throws IOException {
            Map<String, List<String>> series = csvColumns(runFolder.resolve("hydrographs.csv"));
            double[] inflow = numbers(series.get("Inflow"));
            assertEquals(145, inflow.length, "72 h at 30 min");
            int interval = 30;
            Map<String, LibraryReference.Routed> expected =
                    new LibraryReference(REACH, null).routeAll(interval, inflow);
            Map<String, List<String>> results = csvColumns(runFolder.resolve("results.csv"));
            List<String> methods = results.get("method");
            Figures in = Figures.of(inflow, interval);
            assertEquals(450.0, in.peak(), 1e-9, "design peak");
            assertEquals(10.0, in.peakHours(), "design time to peak");
            List<String> table = pipeline.outLines();
            assertEquals(List.of(fixed(in.peak(), 1), fixed(in.peakHours(), 1)),
                    row(table, "Inflow").subList(0, 2));

            for (Map.Entry<String, LibraryReference.Routed> e : expected.entrySet()) {
                String method = e.getKey();
                LibraryReference.Routed lib = e.getValue();
                assertArrayEquals(lib.outflows(), numbers(series.get(method)), method);
                Figures out = Figures.of(lib.outflows(), interval);
                double attenuation = (in.peak() - out.peak()) / in.peak() * 100;
                double lag = out.peakHours() - in.peakHours();

                int r = methods.indexOf(method);
                assertEquals(out.peak(), Double.parseDouble(results.get("peak_m3s").get(r)),
                        out.peak() * RELATIVE, method);
                assertEquals(out.peakHours(),
                        Double.parseDouble(results.get("peak_time_h").get(r)), method);
                assertEquals(out.volume(),
                        Double.parseDouble(results.get("outflow_volume_m3").get(r)),
                        out.volume() * RELATIVE, method);
                assertEquals(in.volume(),
                        Double.parseDouble(results.get("inflow_volume_m3").get(r)),
                        in.volume() * RELATIVE, method);

                List<String> printed = row(table, method);
                assertEquals(fixed(out.peak(), 1), printed.get(0), method + " peak");
                assertEquals(fixed(out.peakHours(), 1), printed.get(1), method + " time");
                assertEquals(fixed(attenuation, 1), printed.get(2), method + " attenuation");
                assertEquals(fixed(lag, 1), printed.get(3), method + " lag");
                assertEquals(fixed(in.volume() / 1e6, 3), printed.get(4), method + " in");
                assertEquals(fixed(out.volume() / 1e6, 3), printed.get(5), method + " out");
                boolean cunge = method.startsWith("Muskingum-Cunge");
                assertEquals(cunge ? fixed(lib.intervalSeconds(), 0) : "-", printed.get(6));
                assertEquals(cunge ? Long.toString(Math.round(20000 / lib.subreachLength()))
                        : "-", printed.get(7), method + " subreaches");
                assertEquals(cleaned(lib.message()), printed.get(8), method + " message");
            }
        }

        @Test
        void everyMethodAttenuatesAndDelaysThePeakWithoutGainingWater() throws IOException {
            Map<String, List<String>> results = csvColumns(runFolder.resolve("results.csv"));
            for (int r = 1; r < results.get("method").size(); r++) {
                String method = results.get("method").get(r);
                double attenuation = Double.parseDouble(results.get("attenuation_pct").get(r));
                double lag = Double.parseDouble(results.get("lag_h").get(r));
                double in = Double.parseDouble(results.get("inflow_volume_m3").get(r));
                double out = Double.parseDouble(results.get("outflow_volume_m3").get(r));
                assertTrue(attenuation >= 0 && attenuation < 50, method + " " + attenuation);
                assertTrue(lag >= 0 && lag < 12, method + " " + lag);
                assertTrue(out <= in * (1 + 1e-9), method + " gains water");
                assertEquals("\"\"", results.get("message").get(r), method);
            }
        }

        @Test
        void plotIsAWellFormedPngWithEveryCurve() throws IOException {
            Path png = runFolder.resolve("flood.png");
            byte[] bytes = Files.readAllBytes(png);
            assertArrayEquals(new byte[] {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'},
                    Arrays.copyOf(bytes, 8));
            BufferedImage image = ImageIO.read(png.toFile());
            assertNotNull(image);
            assertEquals(1200, image.getWidth());
            assertEquals(700, image.getHeight());
            Map<Integer, Integer> counts = new HashMap<>();
            for (int y = 0; y < image.getHeight(); y++) {
                for (int x = 0; x < image.getWidth(); x++) {
                    counts.merge(image.getRGB(x, y) & 0xFFFFFF, 1, Integer::sum);
                }
            }
            // Inflow in black and the six outflows in their own colours, each drawn well
            // beyond the 30-pixel sample in the legend.
            int[] colours = {0x000000, 0x1F77B4, 0xFF7F0E, 0x2CA02C, 0xD62728, 0x9467BD,
                0x8C564B};
            for (int colour : colours) {
                assertTrue(counts.getOrDefault(colour, 0) > 150,
                        String.format("colour %06X drawn %d times", colour,
                                counts.getOrDefault(colour, 0)));
            }
        }

        @Test
        void logFileIsDateNamedAndHoldsTheStampedOutput() throws IOException {
            List<Path> logs;
            try (Stream<Path> files = Files.list(runFolder)) {
                logs = files.filter(f -> f.getFileName().toString().startsWith(LOG_BASE))
                        .toList();
            }
            assertEquals(1, logs.size(), logs.toString());
            String name = logs.get(0).getFileName().toString();
            assertTrue(LOG_NAME.matcher(name).matches(), name);
            DateTimeFormatter extension = DateTimeFormatter.ofPattern(".yyyy.MM.dd.HH.mm");
            String opened = name.substring(LOG_BASE.length(), name.length() - ".utc".length());
            assertTrue(opened.compareTo(started.format(extension)) >= 0
                    && opened.compareTo(finished.format(extension)) <= 0, opened);

            List<String> log = Files.readAllLines(logs.get(0));
            assertTrue(log.get(0).matches("\\d\\d:\\d\\d:\\d\\d:File Opened At: .+"), log.get(0));
            assertTrue(log.get(1).matches("\\d\\d:\\d\\d:\\d\\d:wrap time is .+"), log.get(1));
            List<String> body = log.subList(2, log.size());
            for (String line : body) {
                assertTrue(STAMP.matcher(line).find(), line);
            }
            List<String> echoed = pipeline.outLines().stream()
                    .filter(l -> !l.startsWith("opening ")).toList();
            assertEquals(echoed, body.stream().map(l -> l.substring("HH:MM:SS:".length()))
                    .toList());
            assertTrue(pipeline.out().startsWith("opening " + runFolder.resolve(name)));
        }
    }

    @Nested
    class UserData {
        @Test
        void hourlyCsvWithTimesIsRoutedAtItsInterval() throws Exception {
            Path out = Files.createTempDirectory(WORK, "csv-");
            Run run = demo("--inflow", EXAMPLES.resolve("storm_hourly.csv").toString(),
                    "--interval", "60", "--out", out.toString());
            assertEquals(0, run.status(), run.err());
            // The file's largest flow is 315.8 m3/s at hour 20.
            assertEquals(List.of("315.8", "20.0"), row(run.outLines(), "Inflow").subList(0, 2));
            double[] inflow = numbers(csvColumns(out.resolve("hydrographs.csv")).get("Inflow"));
            assertEquals(49, inflow.length);
            double[] muskingum = new LibraryReference(REACH, null).routeAll(60, inflow)
                    .get("Muskingum").outflows();
            assertArrayEquals(muskingum,
                    numbers(csvColumns(out.resolve("hydrographs.csv")).get("Muskingum")));
        }

        @Test
        void reachFileReplacesDefaultsAndTheRoutinesMessageIsShown() throws Exception {
            Path out = Files.createTempDirectory(WORK, "reach-");
            Path reach = out.resolve("reach.properties");
            Files.writeString(reach, "muskingum.x = 0.7\n");
            Run run = demo("--reach", reach.toString(), "--out", out.toString());
            assertEquals(0, run.status(), run.err());
            List<String> muskingum = row(run.outLines(), "Muskingum");
            assertEquals("-", muskingum.get(0), "no peak when every outflow is undefined");
            assertTrue(muskingum.get(8).startsWith("Invalid Muskingum parameters: K = 2"),
                    muskingum.get(8));
            String expected = cleaned(new LibraryReference(REACH, reach)
                    .routeAll(30, numbers(csvColumns(out.resolve("hydrographs.csv"))
                            .get("Inflow"))).get("Muskingum").message());
            assertEquals(expected, muskingum.get(8));
        }
    }

    @Nested
    class BadInput {
        private void assertOneLineError(Run run, String expectedPart) {
            assertEquals(EXIT_BAD_INPUT, run.status());
            assertEquals("", run.out());
            List<String> lines = run.err().lines().toList();
            assertEquals(1, lines.size(), run.err());
            assertTrue(lines.get(0).startsWith("tovalin_demo: "), lines.get(0));
            assertTrue(lines.get(0).contains(expectedPart), lines.get(0));
            assertFalse(run.err().contains("Exception"), run.err());
        }

        @Test
        void missingInflowFile() throws Exception {
            assertOneLineError(demo("--inflow", WORK.resolve("absent.csv").toString(),
                    "--interval", "30"), "inflow file not found");
        }

        @Test
        void nonNumericFlow() throws Exception {
            Path csv = WORK.resolve("bad-value.csv");
            Files.writeString(csv, "10\n20\nabc\n30\n");
            assertOneLineError(demo("--inflow", csv.toString(), "--interval", "30"),
                    "line 3: 'abc' is not a number");
        }

        @Test
        void negativeInterval() throws Exception {
            assertOneLineError(demo("--inflow", EXAMPLES.resolve("storm_hourly.csv").toString(),
                    "--interval", "-30"), "--interval must be a whole number of minutes");
        }

        @Test
        void nonNumericReachValue() throws Exception {
            Path reach = WORK.resolve("bad-reach.properties");
            Files.writeString(reach, "cunge.slope = steep\n");
            assertOneLineError(demo("--reach", reach.toString()),
                    "cunge.slope = 'steep' is not a number");
        }

        @Test
        void missingReachFileAndUnknownKey() throws Exception {
            assertOneLineError(demo("--reach", WORK.resolve("absent.properties").toString()),
                    "reach file not found");
            Path reach = WORK.resolve("typo.properties");
            Files.writeString(reach, "muskingum.k = 3\n");
            assertOneLineError(demo("--reach", reach.toString()), "unknown key muskingum.k");
        }
    }
}
