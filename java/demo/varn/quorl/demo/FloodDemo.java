package varn.quorl.demo;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;

/**
 * The flood demo: routes one inflow hydrograph (the embedded design flood, or the user's
 * CSV) through every method of the routing library via its native entry points, prints a
 * results table, and writes the hydrograph plot (flood.png), results.csv and
 * hydrographs.csv into the output folder. Exit status: 0 when the run completed (routine
 * messages are results, not failures), 2 for bad input, 1 when the library cannot be
 * loaded or an output cannot be written.
 */
public final class FloodDemo {
    static final String PROGRAM = "tovalin_demo";
    static final String PLOT_FILE = "flood.png";
    static final int EXIT_OK = 0;
    static final int EXIT_FAILURE = 1;
    static final int EXIT_BAD_INPUT = 2;
    private static final double METRES_PER_KILOMETRE = 1000.0;

    static final String USAGE = String.join(System.lineSeparator(),
            "usage: " + PROGRAM + " [--out DIR] [--inflow FILE.csv --interval MINUTES]"
                    + " [--reach FILE.properties]",
            "       " + PROGRAM + " --print-reach | --help",
            "  --out DIR          folder for flood.png, results.csv, hydrographs.csv"
                    + " (default: current folder)",
            "  --inflow FILE      inflow hydrograph in m3/s: one flow per line, or time,flow"
                    + " (time column not used)",
            "  --interval MIN     interval of the inflow file, whole minutes (required with"
                    + " --inflow)",
            "  --reach FILE       reach parameters; keys not given keep the shipped defaults",
            "  --print-reach      print the shipped reach parameters (a file to copy and edit)",
            "The routing library is loaded from -Dtovalin.library=PATH or java.library.path.");

    private FloodDemo() {}

    /** The options of one run. */
    record Options(Path outputFolder, Path inflowFile, Integer intervalMinutes, Path reachFile,
            boolean printReach, boolean help) {
        static Options parse(String[] args) throws DemoInputError {
            Path out = Path.of(".");
            Path inflow = null;
            Integer interval = null;
            Path reach = null;
            boolean printReach = false;
            boolean help = false;
            for (int i = 0; i < args.length; i++) {
                String option = args[i];
                switch (option) {
                    case "--help", "-h" -> help = true;
                    case "--print-reach" -> printReach = true;
                    case "--out" -> out = Path.of(value(args, ++i, option));
                    case "--inflow" -> inflow = Path.of(value(args, ++i, option));
                    case "--reach" -> reach = Path.of(value(args, ++i, option));
                    case "--interval" -> interval = minutes(value(args, ++i, option));
                    default -> throw new DemoInputError("unknown option '" + option
                            + "' (try --help)");
                }
            }
            if (inflow != null && interval == null) {
                throw new DemoInputError("--inflow needs --interval MINUTES");
            }
            if (inflow == null && interval != null) {
                throw new DemoInputError("--interval applies only with --inflow FILE");
            }
            return new Options(out, inflow, interval, reach, printReach, help);
        }

        private static String value(String[] args, int index, String option)
                throws DemoInputError {
            if (index >= args.length) {
                throw new DemoInputError(option + " needs a value");
            }
            return args[index];
        }

        private static int minutes(String text) throws DemoInputError {
            try {
                int value = Integer.parseInt(text.strip());
                if (value >= 1) {
                    return value;
                }
            } catch (NumberFormatException e) {
                // reported below
            }
            throw new DemoInputError("--interval must be a whole number of minutes of at least"
                    + " 1, not '" + text + "'");
        }
    }

    public static void main(String[] args) {
        System.exit(run(args, System.out, System.err));
    }

    /** Runs the demo; returns the exit status. Never throws for bad input. */
    static int run(String[] args, PrintStream out, PrintStream err) {
        Options options;
        Hydrograph inflow;
        ReachSettings reach;
        try {
            options = Options.parse(args);
            if (options.help()) {
                out.println(USAGE);
                return EXIT_OK;
            }
            if (options.printReach()) {
                out.print(ReachSettings.defaultText());
                return EXIT_OK;
            }
            inflow = options.inflowFile() == null ? Hydrograph.designFlood()
                    : Hydrograph.readCsv(options.inflowFile(), options.intervalMinutes());
            reach = options.reachFile() == null ? ReachSettings.defaults()
                    : ReachSettings.load(options.reachFile());
        } catch (DemoInputError e) {
            err.println(PROGRAM + ": " + e.getMessage());
            return EXIT_BAD_INPUT;
        }

        List<RoutingMethods.Result> results = RoutingMethods.routeAll(inflow, reach);
        List<RoutingMethods.Result> unavailable = results.stream()
                .filter(RoutingMethods.Result::unavailable).toList();
        if (unavailable.size() == results.size()) {
            err.println(PROGRAM + ": the routing library cannot be used ("
                    + unavailable.get(0).message() + "); give its path with"
                    + " -Dtovalin.library=PATH");
            return EXIT_FAILURE;
        }

        String title = String.format(Locale.ROOT, "Flood routed through a %.1f km reach by five"
                + " methods", reach.reachLength / METRES_PER_KILOMETRE);
        out.println(PROGRAM + ": " + title);
        out.println("Inflow: " + inflow.description());
        out.println("Reach:  " + (options.reachFile() == null
                ? "shipped defaults (" + ReachSettings.DEFAULT_RESOURCE + ")"
                : options.reachFile().toString()));
        out.println();
        ResultsReport report = new ResultsReport(inflow, results, reach.reachLength);
        report.printTable(out);
        out.println();

        Path folder = options.outputFolder();
        try {
            Files.createDirectories(folder);
            Path plot = folder.resolve(PLOT_FILE);
            HydrographChart.write(plot, title, inflow, results);
            report.writeResults(folder.resolve(ResultsReport.RESULTS_FILE));
            report.writeHydrographs(folder.resolve(ResultsReport.HYDROGRAPHS_FILE));
            out.println("Plot:        " + plot.toAbsolutePath().normalize());
            out.println("Figures:     " + folder.resolve(ResultsReport.RESULTS_FILE)
                    .toAbsolutePath().normalize());
            out.println("Hydrographs: " + folder.resolve(ResultsReport.HYDROGRAPHS_FILE)
                    .toAbsolutePath().normalize());
        } catch (IOException | RuntimeException e) {
            err.println(PROGRAM + ": cannot write the results into " + folder + ": "
                    + e.getMessage());
            return EXIT_FAILURE;
        }
        out.flush();
        for (RoutingMethods.Result r : unavailable) {
            err.println(PROGRAM + ": " + r.method() + " was not routed: " + r.message());
        }
        return unavailable.isEmpty() ? EXIT_OK : EXIT_FAILURE;
    }
}
