package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static varn.quorl.model.HostArrays.isUndefined;

import java.util.List;
import java.util.function.Consumer;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Section data that cannot carry flow refuses a Muskingum-Cunge call from the JVM whatever
 * the flows: the routine's text names the datum and every output array comes back undefined.
 */
class CungeRefusalTest {
    private static final double NAN = Double.NaN;
    private static final double INF = Double.POSITIVE_INFINITY;

    record Outcome(String text, List<double[]> outputs) {}

    private static Supplier<Outcome> eightPoint(Consumer<MuskingumCunge8ptRoutingTest.Call> change) {
        return () -> {
            var c = new MuskingumCunge8ptRoutingTest.Call();
            change.accept(c);
            String text = c.run();
            return new Outcome(text, List.of(c.outflows, c.finals, c.dt, c.dx, c.peak,
                    c.peakTime, c.celerity, c.storage0, c.storage1, c.volumeIn, c.volumeOut));
        };
    }

    private static Supplier<Outcome> prism(String shape,
            Consumer<MuskingumCungePrismRoutingTest.Call> change) {
        return () -> {
            var c = new MuskingumCungePrismRoutingTest.Call();
            c.shape = shape.toCharArray();
            change.accept(c);
            String text = c.run();
            return new Outcome(text, List.of(c.outflows, c.finals, c.dt, c.dx, c.peak,
                    c.peakTime, c.celerity, c.storageStart, c.storageEnd, c.volumeIn,
                    c.volumeOut));
        };
    }

    static Stream<Arguments> refusals() {
        return Stream.of(
                Arguments.of("Channel slope is zero or negative: -.001",
                        eightPoint(c -> c.slope[0] = -0.001)),
                Arguments.of("Channel slope is zero or negative: NaN",
                        eightPoint(c -> c.slope[0] = NAN)),
                Arguments.of("Manning's n is zero or negative: 0.0",
                        eightPoint(c -> c.manningN[1] = 0.0)),
                Arguments.of("Manning's n is not finite: Infinity",
                        eightPoint(c -> c.manningN[0] = INF)),
                Arguments.of("Cross-section stations are out of order: 20., 15.",
                        eightPoint(c -> c.stations[4] = 15.0)),
                Arguments.of("Cross-section elevation is not finite: NaN",
                        eightPoint(c -> c.elevations[3] = NAN)),
                Arguments.of("Channel slope is not finite: Infinity", eightPoint(c -> {
                    c.slope[0] = INF;
                    c.inflows = new double[12];
                    c.initial = new double[3];
                })),
                Arguments.of("Channel side slope is negative: -1.",
                        prism("TRAPEZOID", c -> c.sides[0] = -1.0)),
                Arguments.of("Channel side slope is not finite: Infinity",
                        prism("TRAPEZOID", c -> c.sides[0] = INF)),
                Arguments.of("Channel bottom width is invalid: -3.",
                        prism("TRAPEZOID", c -> c.width[0] = -3.0)),
                Arguments.of("Manning's n is zero or negative: -.01",
                        prism("TRAPEZOID", c -> c.roughness[0] = -0.01)),
                Arguments.of("Conduit diameter is zero or negative: 0.0",
                        prism("CIRCLE", c -> c.width[0] = 0.0)),
                Arguments.of("Channel slope is zero or negative: -.001", prism("CIRCLE", c -> {
                    c.slope[0] = -0.001;
                    c.inflows = new double[10];
                    c.initial = new double[3];
                })));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("refusals")
    void refusedWithEveryOutputUndefined(String expected, Supplier<Outcome> call) {
        Outcome o = call.get();
        assertEquals(expected, o.text().strip());
        for (double[] output : o.outputs()) {
            for (double v : output) {
                assertTrue(isUndefined(v), expected);
            }
        }
    }
}
