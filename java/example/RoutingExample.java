import java.nio.charset.StandardCharsets;
import varn.quorl.model.MuskingumCungePrismRouting;
import varn.quorl.model.MuskingumRouting;

/**
 * A minimal host of the installed routing library. It routes a five-ordinate hydrograph by
 * Muskingum (the hand-computed example: interval 60 min, K = 1 h, x = 0.2, one step from
 * 10 m³/s gives 10, 12.307692, 20.532544, 25.507510, 18.963272), passes a steady 8 m³/s
 * through 20 km of a 4 m conduit by Muskingum-Cunge (it comes out unchanged), and makes one
 * call that the library refuses, to show how a failure looks: a text and undefined outputs.
 * It prints what it got and exits with status 1 when a result differs from the known one.
 *
 * <pre>
 * javac -cp PREFIX/share/java/tovalin.jar -d classes RoutingExample.java
 * java -cp PREFIX/share/java/tovalin.jar:classes -Djava.library.path=PREFIX/lib RoutingExample
 * </pre>
 */
public final class RoutingExample {
    /** The library's undefined value; a NaN counts as undefined too. */
    static final double UNDEFINED = Double.longBitsToDouble(0xC7D2CED320000000L);
    /** m³/s: the rounding of the hand-computed figures. */
    static final double TOLERANCE = 5e-7;

    static boolean isUndefined(double value) {
        return value == UNDEFINED || Double.isNaN(value);
    }

    private static int failures;

    private static void expect(String what, boolean good) {
        if (!good) {
            System.out.println("UNEXPECTED: " + what);
            failures++;
        }
    }

    public static void main(String[] args) {
        // Muskingum: the message array needs 81 bytes, 80 of them the routine's field.
        double[] inflows = {10, 20, 30, 20, 10};
        double[] expected = {10, 12.307692, 20.532544, 25.507510, 18.963272};
        double[] outflows = new double[inflows.length];
        double[] finalStep = new double[1];
        String text = MuskingumRouting.jniMuskingumRouting(60, new double[] {1.0},
                new double[] {0.2}, 1, new double[] {10.0}, finalStep, inflows.length, inflows,
                outflows, 0, new byte[81], 0);
        System.out.printf("Muskingum: message \"%s\", outflows", text);
        for (int i = 0; i < outflows.length; i++) {
            System.out.printf(" %.6f", outflows[i]);
            expect("Muskingum outflow " + i, Math.abs(outflows[i] - expected[i]) <= TOLERANCE);
        }
        System.out.println();
        expect("Muskingum message", text.isEmpty());

        // Muskingum-Cunge through a conduit: the message width is the array's length less one;
        // every scalar result comes back in element 0 of its array.
        int ordinates = 6;
        double[] steady = {8, 8, 8, 8, 8, 8};
        double[] routed = new double[ordinates];
        double[] dt = new double[1], dx = new double[1], peak = new double[1];
        double[] peakTime = {-1}, celerity = new double[1];
        double[] storageStart = new double[1], storageEnd = new double[1];
        double[] volumeIn = new double[1], volumeOut = new double[1];
        byte[] message = new byte[121];
        text = MuskingumCungePrismRouting.jniMuskingumCungePrismRouting(60,
                new double[] {20000}, new double[] {0.001}, new double[] {0.035},
                "CIRCLE".toCharArray(), new double[] {4.0}, new double[] {0.0}, 3, false,
                new double[] {8, 8, 8}, new double[3], ordinates, steady, new double[ordinates],
                routed, dt, dx, peak, peakTime, celerity, storageStart, storageEnd, volumeIn,
                volumeOut, 0, message, 0, 0);
        System.out.printf("Muskingum-Cunge conduit: message \"%s\", dt %.0f s, %d subreaches,"
                + " outflow %.6f m3/s%n", text, dt[0], Math.round(20000 / dx[0]),
                routed[ordinates - 1]);
        expect("conduit message", text.isEmpty());
        for (double q : routed) {
            expect("conduit outflow " + q, Math.abs(q - 8.0) <= 1e-9);
        }

        // A refused call: zero steps. The text names the failure (blank-padded: strip it),
        // every outflow is undefined, and the message array holds the same text.
        byte[] field = new byte[81];
        text = MuskingumRouting.jniMuskingumRouting(60, new double[] {1.0}, new double[] {0.2},
                0, new double[0], new double[0], inflows.length, inflows, outflows, 0, field, 0);
        System.out.printf("Refused: \"%s\"%n", text.strip());
        expect("refusal text", text.startsWith("Invalid Muskingum parameters"));
        expect("refusal field", new String(field, 0, 80, StandardCharsets.US_ASCII).equals(text));
        for (double q : outflows) {
            expect("undefined outflow " + q, isUndefined(q));
        }

        System.out.println(failures == 0 ? "All results as expected." : failures + " unexpected");
        System.exit(failures == 0 ? 0 : 1);
    }
}
