package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static varn.quorl.model.HostArrays.assertUnchanged;
import static varn.quorl.model.HostArrays.filled;
import static varn.quorl.model.HostArrays.isUndefined;
import static varn.quorl.model.HostArrays.snapshot;

import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** The eight-point Muskingum-Cunge entry point, from a real JVM. */
class MuskingumCunge8ptRoutingTest {
    private static final double TOLERANCE = 1e-9;
    private static final double UNTOUCHED = -4242.0;

    /** One call's arguments: steady 50 m3/s through a 20 km reach; each test changes what it needs. */
    static final class Call {
        int interval = 60;
        double[] length = {20000.0};
        double[] slope = {0.001};
        double[] stations = {0, 10, 20, 20, 30, 30, 40, 50};
        double[] elevations = {10, 5, 5, 0, 0, 5, 5, 10};
        double[] manningN = {0.08, 0.04, 0.08};
        int profilePoints = 3;
        boolean fromProfile = false;
        double[] initial = filled(3, 50.0);
        double[] finals = filled(3, UNTOUCHED);
        int ordinates = 12;
        double[] inflows = filled(12, 50.0);
        double[] lateral = new double[12];
        double[] outflows = filled(12, UNTOUCHED);
        double[] dt = {UNTOUCHED};
        double[] dx = {UNTOUCHED};
        double[] peak = {UNTOUCHED};
        double[] peakTime = {UNTOUCHED};
        double[] celerity = {UNTOUCHED};
        double[] storage0 = {UNTOUCHED};
        double[] storage1 = {UNTOUCHED};
        double[] volumeIn = {UNTOUCHED};
        double[] volumeOut = {UNTOUCHED};
        int status = 0;
        byte[] message = new byte[81];

        String run() {
            return MuskingumCunge8ptRouting.jniMuskingumCunge8ptRouting(interval, length, slope,
                    stations, elevations, manningN, profilePoints, fromProfile, initial, finals,
                    ordinates, inflows, lateral, outflows, dt, dx, peak, peakTime, celerity,
                    storage0, storage1, volumeIn, volumeOut, status, message, 80);
        }

        Object[] arrays() {
            return new Object[] {length, slope, stations, elevations, manningN, initial, finals,
                inflows, lateral, outflows, dt, dx, peak, peakTime, celerity, storage0, storage1,
                volumeIn, volumeOut, message};
        }
    }

    @Nested
    class Routing {
        @Test
        void steadyFlowComesBackUnchangedInTheHostArrays() {
            Call c = new Call();
            assertEquals("", c.run());
            assertArrayEquals(filled(12, 50.0), c.outflows, TOLERANCE);
            assertArrayEquals(filled(3, 50.0), c.finals, TOLERANCE);
            assertTrue(c.dt[0] > 0 && c.dt[0] <= 3600.0);
            assertTrue(c.dx[0] > 0 && c.dx[0] <= 20000.0);
            assertEquals(50.0, c.peak[0], TOLERANCE);
            assertTrue(c.peakTime[0] > 0);
            assertTrue(c.celerity[0] > 0);
            assertTrue(c.storage0[0] > 0);
            assertEquals(c.storage0[0], c.storage1[0], 0.005 * 10 * 20000);
            assertEquals(c.volumeIn[0], c.volumeOut[0], 1e-6);
            assertArrayEquals(new byte[81], c.message);
        }

        @Test
        void trueSelectsSubreachesFromTheProfile() {
            Call c = new Call();
            c.fromProfile = true;
            c.profilePoints = 5;
            c.initial = filled(5, 50.0);
            c.finals = new double[5];
            assertEquals("", c.run());
            assertEquals(20000.0 / 4, c.dx[0], 0.0);
        }

        @ParameterizedTest
        @ValueSource(ints = {0, -1, 12345})
        void statusPassedByTheHostHasNoEffect(int status) {
            Call c = new Call();
            c.status = status;
            assertEquals("", c.run());
            assertArrayEquals(filled(12, 50.0), c.outflows, TOLERANCE);
        }

        @Test
        void aLevelBedIsRefusedWithUndefinedOutflows() {
            Call c = new Call();
            c.slope = new double[] {0.0};
            String text = c.run();
            assertEquals(80, text.length());
            assertTrue(text.startsWith("Invalid Muskingum-Cunge parameters: interval = 60"), text);
            for (double q : c.outflows) {
                assertTrue(isUndefined(q));
            }
            assertTrue(isUndefined(c.volumeIn[0]));
            assertTrue(isUndefined(c.peak[0]));
            assertTrue(isUndefined(c.finals[0]));
        }
    }

    @Nested
    class InvalidArguments {
        private void assertRefused(Call c, String expectedStart) {
            Object[] before = snapshot(c.arrays());
            String text = c.run();
            assertTrue(text.startsWith(expectedStart), text);
            assertUnchanged(before, c.arrays());
        }

        @Test
        void nullSectionArrays() {
            Call c = new Call();
            c.stations = null;
            assertRefused(c, "Invalid arguments: stations is null");
            c = new Call();
            c.manningN = null;
            assertRefused(c, "Invalid arguments: manningN is null");
        }

        @Test
        void shortSectionArrays() {
            Call c = new Call();
            c.elevations = new double[7];
            assertRefused(c, "Invalid arguments: elevations has 7 elements, fewer than the 8");
            c = new Call();
            c.manningN = new double[2];
            assertRefused(c, "Invalid arguments: manningN has 2 elements, fewer than the 3");
        }

        @Test
        void shortProfilesAndHydrographs() {
            Call c = new Call();
            c.finals = new double[2];
            assertRefused(c, "Invalid arguments: finalFlows has 2 elements");
            c = new Call();
            c.lateral = new double[11];
            assertRefused(c, "Invalid arguments: lateralInflows has 11 elements");
        }

        @Test
        void emptyOrNullScalarOutputs() {
            Call c = new Call();
            c.volumeOut = new double[0];
            assertRefused(c, "Invalid arguments: outflowVolume has 0 elements");
            c = new Call();
            c.peakTime = null;
            assertRefused(c, "Invalid arguments: peakTimeMinutes is null");
        }

        @ParameterizedTest
        @ValueSource(ints = {0, -3})
        void countsBelowOne(int count) {
            Call c = new Call();
            c.profilePoints = count;
            assertRefused(c, "Invalid arguments: initialFlowCount is " + count + ", fewer than 1");
            c = new Call();
            c.ordinates = count;
            assertRefused(c, "Invalid arguments: ordinateCount is " + count + ", fewer than 1");
        }

        @Test
        void aMessageArrayShorterThan81() {
            Call c = new Call();
            c.message = new byte[80];
            assertRefused(c, "Invalid arguments: message has 80 elements");
        }
    }
}
