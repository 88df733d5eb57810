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

/** The modified Puls entry point with channel loss, from a real JVM. */
class PulsChannelRoutingWithLossesTest {
    private static final double TOLERANCE = 1e-9;

    /**
     * One call's arguments: a linear reservoir (storage 3600 s times the outflow) whose
     * elevation is outflow / 50 above a loss elevation of 0, so that the loss S / D * rate is
     * 3600 * 50 * 1e-4 = 18 at any outflow. A net outflow of 32 is a gross outflow of 50.
     */
    static final class Call {
        int interval = 60;
        int pairs = 3;
        double[] storage = {0, 180000, 360000};
        double[] outflow = {0, 50, 100};
        double[] elevation = {0, 1, 2};
        double[] lossElevation = {0};
        double[] lossRate = {1e-4};
        int steps = 1;
        double[] initial = {32};
        double[] finals = new double[1];
        int ordinates = 4;
        double[] inflows = {50, 50, 50, 50};
        double[] outflows = new double[4];
        int status = 0;
        byte[] message = new byte[81];

        String run() {
            return PulsChannelRoutingWithLosses.jniPulsChannelRoutingWithLosses(interval, pairs,
                    storage, outflow, elevation, lossElevation, lossRate, steps, initial, finals,
                    ordinates, inflows, outflows, status, message,
                    message == null ? 0 : message.length - 1);
        }
    }

    @Nested
    class Routing {
        @Test
        void netOutflowsComeBackAndTheFinalOutflowIsGross() {
            Call c = new Call();
            assertEquals("", c.run());
            assertEquals(32, c.outflows[0]);
            for (int t = 1; t < 4; t++) {
                assertEquals(32, c.outflows[t], TOLERANCE);
            }
            assertEquals(50, c.finals[0], TOLERANCE);
            assertArrayEquals(new byte[81], c.message);
        }

        @Test
        void onlyElementZeroOfTheLossScalarsIsUsed() {
            Call plain = new Call();
            plain.run();
            Call padded = new Call();
            padded.lossElevation = new double[] {0, 1e6};
            padded.lossRate = new double[] {1e-4, 1e6};
            assertEquals("", padded.run());
            assertArrayEquals(plain.outflows, padded.outflows);
            assertArrayEquals(plain.finals, padded.finals);
            assertArrayEquals(new double[] {0, 1e6}, padded.lossElevation);
            assertArrayEquals(new double[] {1e-4, 1e6}, padded.lossRate);
        }

        @Test
        void failedOutflowLookupLeavesTheRestUndefined() {
            Call c = new Call();
            c.inflows = new double[] {50, 900, 50, 50};
            String text = c.run();
            assertTrue(text.startsWith("Error in Storage-Outflow interpolation.\n"), text);
            assertEquals(32, c.outflows[0]);
            for (int t = 1; t < 4; t++) {
                assertTrue(isUndefined(c.outflows[t]));
            }
            assertTrue(isUndefined(c.finals[0]));
        }
    }

    @Nested
    class Messages {
        @Test
        void sixtyOneElementsGiveASixtyCharacterText() {
            Call c = new Call();
            c.inflows = new double[] {50, 900, 900, 900};
            c.message = new byte[61];
            String text = c.run();
            assertEquals(60, text.length());
            assertEquals(0, c.message[60]);
        }

        @Test
        void oneElementGivesAnEmptyText() {
            Call c = new Call();
            c.inflows = new double[] {50, 900, 900, 900};
            c.message = new byte[1];
            assertEquals("", c.run());
            assertTrue(isUndefined(c.outflows[3]));
        }
    }

    @Nested
    class InvalidArguments {
        private void assertRejected(Call c, String expected) {
            Object[] before = snapshot(c.storage, c.outflow, c.elevation, c.lossElevation,
                    c.lossRate, c.initial, c.finals, c.inflows, c.outflows, c.message);
            assertEquals(expected, c.run());
            assertUnchanged(before, c.storage, c.outflow, c.elevation, c.lossElevation,
                    c.lossRate, c.initial, c.finals, c.inflows, c.outflows, c.message);
        }

        @ParameterizedTest
        @ValueSource(strings = {"elevationTable", "lossElevation", "lossRate", "message"})
        void nullArraysAreNamed(String name) {
            Call c = new Call();
            switch (name) {
                case "elevationTable" -> c.elevation = null;
                case "lossElevation" -> c.lossElevation = null;
                case "lossRate" -> c.lossRate = null;
                default -> c.message = null;
            }
            assertRejected(c, "Invalid arguments: " + name + " is null");
        }

        @Test
        void emptyLossScalar() {
            Call c = new Call();
            c.lossRate = new double[0];
            assertRejected(c,
                    "Invalid arguments: lossRate has 0 elements, fewer than the 1 required");
        }

        @Test
        void elevationTableShorterThanPairCount() {
            Call c = new Call();
            c.elevation = new double[] {0, 1};
            assertRejected(c,
                    "Invalid arguments: elevationTable has 2 elements, fewer than the 3 required");
        }

        @Test
        void hydrographShorterThanOrdinateCount() {
            Call c = new Call();
            c.outflows = new double[3];
            assertRejected(c,
                    "Invalid arguments: outflows has 3 elements, fewer than the 4 required");
        }

        @Test
        void emptyMessageArray() {
            Call c = new Call();
            c.message = new byte[0];
            assertRejected(c,
                    "Invalid arguments: message has 0 elements, fewer than the 1 required");
        }
    }
}
