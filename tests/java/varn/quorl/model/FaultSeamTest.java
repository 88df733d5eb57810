package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Runs against the test build of the library whose routing routines throw at a distinctive
 * first inflow: every entry point returns an internal error naming itself, writes the undefined
 * value into every output array and leaves the inputs as they were.
 */
class FaultSeamTest {
    /** The first inflow at which the test build throws. */
    private static final double SEAM_INFLOW = -9.87654321e99;

    static Stream<EntryPoints.EntryPoint> entryPoints() {
        return EntryPoints.ALL.stream();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("entryPoints")
    void anExceptionInsideIsAnInternalError(EntryPoints.EntryPoint entry) {
        Object[] arguments = entry.arguments(1.0);
        ((double[]) arguments[entry.indexOf("inflows")])[0] = SEAM_INFLOW;
        Object[] before = EntryPoints.snapshot(arguments);
        String expected = "Internal error: " + entry.name + ": fault seam reached";
        String text = entry.call(arguments);
        assertTrue(text.equals(expected), text);
        for (int i = 0; i < arguments.length; i++) {
            EntryPoints.Role role = entry.parameters.get(i).role();
            if (role == EntryPoints.Role.OUTPUT) {
                for (double v : (double[]) arguments[i]) {
                    assertTrue(HostArrays.isUndefined(v), entry.parameters.get(i).name());
                }
            } else if (role == EntryPoints.Role.MESSAGE) {
                String field = new String((byte[]) arguments[i], StandardCharsets.US_ASCII);
                assertTrue(field.startsWith(expected), field);
            } else {
                assertTrue(EntryPoints.sameBits(before[i], arguments[i]),
                        entry.parameters.get(i).name());
            }
        }
    }
}
