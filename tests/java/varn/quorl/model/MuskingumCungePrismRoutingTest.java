package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static varn.quorl.model.HostArrays.assertUnchanged;
import static varn.quorl.model.HostArrays.isUndefined;
import static varn.quorl.model.HostArrays.snapshot;

import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** The Muskingum-Cunge entry point for trapezoids and conduits, from a real JVM. */
class MuskingumCungePrismRoutingTest {
    private static final double TOLERANCE = 1e-9;
    private static final String SIDE_SLOPE_TEXT = "Channel side slope is negative: -1.";

    /** One call: a 20 km reach carrying a steady 50 m3/s, and every host array. */
    static final class Call {
        int interval = 60;
        double[] length = {20000.0};
        double[] slope = {0.001};
        double[] roughness = {0.035};
        char[] shape = "TRAPEZOID".toCharArray();
        double[] width = {20.0};
        double[] sides = {2.0};
        int points = 3;
        boolean fromProfile = false;
        double[] initial = HostArrays.filled(3, 50.0);
        double[] finals = new double[3];
        int ordinates = 10;
        double[] inflows = HostArrays.filled(10, 50.0);
        double[] lateral = new double[10];
        double[] outflows = new double[10];
        double[] dt = {-1}, dx = {-1}, peak = {-1}, peakTime = {-1}, celerity = {-1};
        double[] storageStart = {-1}, storageEnd = {-1}, volumeIn = {-1}, volumeOut = {-1};
        int status = 0;
        byte[] message = HostArrays.message(101);

        String run() {
            return MuskingumCungePrismRouting.jniMuskingumCungePrismRouting(interval, length,
                    slope, roughness, shape, width, sides, points, fromProfile, initial, finals,
                    ordinates, inflows, lateral, outflows, dt, dx, peak, peakTime, celerity,
                    storageStart, storageEnd, volumeIn, volumeOut, status, message, 0, 0);
        }
    }

    @Nested
    class Routing {
        @Test
        void steadyFlowPassesAndScalarsComeBackInElementZero() {
            Call c = new Call();
            assertEquals("", c.run());
            assertArrayEquals(HostArrays.filled(10, 50.0), c.outflows, TOLERANCE);
            assertArrayEquals(HostArrays.filled(3, 50.0), c.finals, TOLERANCE);
            assertTrue(c.dt[0] > 0 && c.dx[0] > 0 && c.celerity[0] > 0);
            assertEquals(50.0, c.peak[0], TOLERANCE);
            assertTrue(c.peakTime[0] > 0);
            assertEquals(c.volumeIn[0], c.volumeOut[0], 1e-9 * c.volumeIn[0]);
            assertEquals(c.storageStart[0], c.storageEnd[0], 1e-4 * c.storageStart[0]);
            for (byte b : c.message) {
                assertEquals(0, b);
            }
        }

        @Test
        void subreachesFromTheProfileArriveAsTrue() {
            Call c = new Call();
            c.fromProfile = true;
            c.points = 5;
            c.initial = HostArrays.filled(5, 50.0);
            c.finals = new double[5];
            assertEquals("", c.run());
            assertEquals(5000.0, c.dx[0]);
        }

        @ParameterizedTest
        @ValueSource(ints = {0, -1, 12345})
        void statusPassedByTheHostHasNoEffect(int status) {
            Call c = new Call();
            c.status = status;
            assertEquals("", c.run());
            assertEquals(50.0, c.outflows[9], TOLERANCE);
        }
    }

    /** A negative side slope is refused by a trapezoid and ignored by a conduit. */
    @Nested
    class SectionShape {
        private String runWithNegativeSideSlope(char[] shape) {
            Call c = new Call();
            c.shape = shape;
            c.sides[0] = -1.0;
            return c.run().stripTrailing();
        }

        @Test
        void circleOfSixCharactersIsAConduit() {
            assertEquals("", runWithNegativeSideSlope("CIRCLE".toCharArray()));
        }

        @Test
        void blanksAfterCircleAndLongArraysAreStillAConduit() {
            assertEquals("", runWithNegativeSideSlope("CIRCLE    ".toCharArray()));
            assertEquals("", runWithNegativeSideSlope("CIRCLE              ".toCharArray()));
        }

        @Test
        void anythingElseIsATrapezoid() {
            assertEquals(SIDE_SLOPE_TEXT, runWithNegativeSideSlope("circle".toCharArray()));
            assertEquals(SIDE_SLOPE_TEXT, runWithNegativeSideSlope("CIRCLEX".toCharArray()));
            assertEquals(SIDE_SLOPE_TEXT, runWithNegativeSideSlope(new char[0]));
            // A non-blank far beyond ten characters still counts.
            assertEquals(SIDE_SLOPE_TEXT,
                    runWithNegativeSideSlope("CIRCLE                   !".toCharArray()));
        }

        @Test
        void onlyTheLowEightBitsOfEachCharacterCount() {
            char[] shape = "CIRCLE".toCharArray();
            shape[0] = (char) (0x100 | 'C');
            assertEquals("", runWithNegativeSideSlope(shape));
        }

        @Test
        void theShapeArrayComesBackUnchanged() {
            Call c = new Call();
            c.shape = "CIRCLE".toCharArray();
            Object[] before = snapshot(c.shape, c.inflows, c.initial);
            c.run();
            assertUnchanged(before, c.shape, c.inflows, c.initial);
        }
    }

    @Nested
    class MessageWidth {
        @Test
        void sixtyOneElementsGiveSixtyCharacters() {
            Call c = new Call();
            c.interval = 0;
            c.message = HostArrays.message(61);
            String text = c.run();
            assertEquals(60, text.length());
            assertTrue(text.startsWith("Invalid Muskingum-Cunge parameters: interval = 0"), text);
            assertEquals(0, c.message[60]);
            for (double q : c.outflows) {
                assertTrue(isUndefined(q));
            }
        }

        @Test
        void oneElementGivesAnEmptyField() {
            Call c = new Call();
            c.interval = 0;
            c.message = HostArrays.message(1);
            assertEquals("", c.run());
            assertEquals(0, c.message[0]);
        }
    }

    @Nested
    class InvalidArguments {
        private void assertRejected(Call c, String parameter) {
            Object[] before = snapshot(c.inflows, c.outflows, c.finals, c.dt, c.message);
            String text = c.run();
            assertTrue(text.startsWith("Invalid arguments:"), text);
            assertTrue(text.contains(parameter), text);
            assertUnchanged(before, c.inflows, c.outflows, c.finals, c.dt, c.message);
        }

        @Test
        void nullShapeIsNamed() {
            Call c = new Call();
            c.shape = null;
            assertRejected(c, "sectionShape");
        }

        @Test
        void nullScalarArrayIsNamed() {
            Call c = new Call();
            c.volumeOut = null;
            assertRejected(c, "outflowVolume");
        }

        @Test
        void shortHydrographIsNamed() {
            Call c = new Call();
            c.lateral = new double[9];
            assertRejected(c, "lateralInflows");
        }

        @Test
        void countsBelowOneAreNamed() {
            Call c = new Call();
            c.points = -1;
            assertRejected(c, "initialFlowCount");
            c = new Call();
            c.points = 0;
            assertRejected(c, "initialFlowCount");
            c = new Call();
            c.ordinates = 0;
            assertRejected(c, "ordinateCount is 0, fewer than 1");
        }

        @Test
        void emptyMessageArrayIsNamed() {
            Call c = new Call();
            c.message = new byte[0];
            String text = c.run();
            assertTrue(text.startsWith("Invalid arguments:"), text);
            assertTrue(text.contains("message"), text);
        }
    }
}
