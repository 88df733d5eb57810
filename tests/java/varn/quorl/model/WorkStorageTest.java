package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;
import static varn.quorl.model.HostArrays.isUndefined;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * A Muskingum-Cunge reach of 1 mm from the JVM: its computation interval falls below a
 * millisecond, some 10^8 computation steps for a day of hourly ordinates, work storage that
 * the library does not ask for. The call reports message 11 at once, and the process's peak
 * resident memory does not grow by the hundreds of megabytes those steps would take.
 */
class WorkStorageTest {
    private static final Path STATUS = Path.of("/proc/self/status");
    private static final long MOST_GROWTH_KB = 256 * 1024;
    private static final int ORDINATES = 25;

    record Outcome(String text, double[] outflows, List<Double> undefinedResults,
            double interval) {}

    private static Supplier<Outcome> eightPoint() {
        var c = new MuskingumCunge8ptRoutingTest.Call();
        c.length[0] = 0.001;
        c.ordinates = ORDINATES;
        c.inflows = HostArrays.filled(ORDINATES, 50.0);
        c.lateral = new double[ORDINATES];
        c.outflows = new double[ORDINATES];
        return () -> {
            String text = c.run();
            return new Outcome(text, c.outflows,
                    List.of(c.volumeIn[0], c.volumeOut[0], c.storage1[0]), c.dt[0]);
        };
    }

    private static Supplier<Outcome> prism(String shape) {
        var c = new MuskingumCungePrismRoutingTest.Call();
        c.shape = shape.toCharArray();
        c.length[0] = 0.001;
        c.ordinates = ORDINATES;
        c.inflows = HostArrays.filled(ORDINATES, 50.0);
        c.lateral = new double[ORDINATES];
        c.outflows = new double[ORDINATES];
        return () -> {
            String text = c.run();
            return new Outcome(text, c.outflows,
                    List.of(c.volumeIn[0], c.volumeOut[0], c.storageEnd[0]), c.dt[0]);
        };
    }

    static Stream<Arguments> millimetreReaches() {
        return Stream.of(Arguments.of("eight-point section", eightPoint()),
                Arguments.of("trapezoid", prism("TRAPEZOID")),
                Arguments.of("circle", prism("CIRCLE")));
    }

    /** The process's peak resident memory, kB. */
    private static long peakResidentKb() throws IOException {
        for (String line : Files.readAllLines(STATUS)) {
            if (line.startsWith("VmHWM:")) {
                return Long.parseLong(line.replaceAll("[^0-9]", ""));
            }
        }
        throw new IOException("no VmHWM in " + STATUS);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("millimetreReaches")
    void storageBeyondTheLimitIsMessage11(String reach, Supplier<Outcome> call)
            throws IOException {
        assumeTrue(Files.isReadable(STATUS), "the process's status is not readable");
        long before = peakResidentKb();
        Outcome o = call.get();
        long growth = peakResidentKb() - before;
        assertEquals("Cannot allocate memory for dynamic arrays", o.text().strip(), reach);
        for (double q : o.outflows()) {
            assertTrue(isUndefined(q), reach);
        }
        for (double v : o.undefinedResults()) {
            assertTrue(isUndefined(v), reach);
        }
        assertTrue(o.interval() > 0.0 && o.interval() < 1e-3, reach + ": interval " + o.interval());
        assertTrue(growth < MOST_GROWTH_KB, reach + ": peak memory grew by " + growth + " kB");
    }
}
