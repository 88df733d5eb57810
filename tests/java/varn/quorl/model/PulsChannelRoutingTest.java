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

/** The modified Puls entry point from a real JVM: results, message widths, rejected calls. */
class PulsChannelRoutingTest {
    private static final String LOOKUP_LINE = "Error in Storage-Outflow interpolation.";

    /**
     * One call's arguments: a linear reservoir (storage 3600 s times the outflow, up to 100)
     * in steady flow at 50; each test changes what it needs.
     */
    static final class Call {
        int interval = 60;
        int pairs = 3;
        double[] storage = {0, 180000, 360000};
        double[] outflow = {0, 50, 100};
        int steps = 1;
        double[] initial = {50};
        double[] finals = new double[1];
        int ordinates = 4;
        double[] inflows = {50, 50, 50, 50};
        double[] outflows = new double[4];
        int status = 0;
        byte[] message = new byte[81];

        String run() {
            return PulsChannelRouting.jniPulsChannelRouting(interval, pairs, storage, outflow,
                    steps, initial, finals, ordinates, inflows, outflows, status, message,
                    message == null ? 0 : message.length - 1);
        }

        /** A flood whose storage passes the table's largest. */
        Call flood() {
            inflows = new double[] {50, 900, 900, 900};
            return this;
        }
    }

    @Nested
    class Routing {
        @Test
        void steadyFlowComesBackUnchangedWithAnEmptyText() {
            Call c = new Call();
            assertEquals("", c.run());
            assertArrayEquals(filled(4, 50), c.outflows);
            assertArrayEquals(new double[] {50}, c.finals);
            assertArrayEquals(new byte[81], c.message);
        }

        @Test
        void secondStepRoutesTheFirstStepsOutflow() {
            Call c = new Call();
            c.steps = 2;
            c.initial = new double[] {50, 40};
            c.finals = new double[2];
            c.inflows = new double[] {50, 80, 80, 60};
            assertEquals("", c.run());
            assertEquals(40, c.outflows[0]);
            assertTrue(c.finals[0] > 50 && c.finals[1] > 40);
            assertEquals(c.finals[1], c.outflows[3]);
        }

        @ParameterizedTest
        @ValueSource(ints = {0, -1, 12345})
        void statusPassedInHasNoEffect(int status) {
            Call c = new Call().flood();
            c.status = status;
            String text = c.run();
            assertTrue(text.startsWith(LOOKUP_LINE + "\n"), text);
            assertEquals(0, c.outflows[3]);
        }

        @Test
        void undefinedInflowMakesLaterOutflowsUndefined() {
            Call c = new Call();
            c.inflows[2] = HostArrays.UNDEFINED;
            assertEquals("", c.run());
            assertEquals(50, c.outflows[1]);
            assertTrue(isUndefined(c.outflows[2]) && isUndefined(c.outflows[3]));
            assertTrue(isUndefined(c.finals[0]));
        }
    }

    @Nested
    class Messages {
        @Test
        void sixtyOneElementsGiveASixtyCharacterText() {
            Call c = new Call().flood();
            c.message = new byte[61];
            String text = c.run();
            assertEquals(60, text.length());
            // The lookup's line, the line feed and the start of the lookup's own text.
            assertEquals(LOOKUP_LINE + "\nIndependent variable", text);
            assertEquals(0, c.message[60]);
            assertArrayEquals(new double[] {50, 0, 0, 0}, c.outflows);
        }

        @Test
        void oneElementGivesAnEmptyText() {
            Call c = new Call().flood();
            c.message = new byte[1];
            assertEquals("", c.run());
            assertEquals(0, c.message[0]);
            assertEquals(0, c.outflows[3]);
        }

        @Test
        void noPairsFailEveryLookup() {
            Call c = new Call();
            c.pairs = 0;
            assertEquals(LOOKUP_LINE + "\nNot enough x-y pairs for interpolation",
                    c.run().stripTrailing());
            assertArrayEquals(new double[] {50, 0, 0, 0}, c.outflows);
        }

        @Test
        void zeroIntervalRoutesNothing() {
            Call c = new Call();
            c.interval = 0;
            String text = c.run();
            assertEquals(80, text.length());
            assertEquals("Invalid Modified Puls parameters: interval = 0 minutes,"
                    + " number of steps = 1", text.stripTrailing());
            for (double q : c.outflows) {
                assertTrue(isUndefined(q));
            }
            assertTrue(isUndefined(c.finals[0]));
        }
    }

    @Nested
    class InvalidArguments {
        private void assertRejected(Call c, String expected) {
            Object[] before = snapshot(c.storage, c.outflow, c.initial, c.finals, c.inflows,
                    c.outflows, c.message);
            assertEquals(expected, c.run());
            assertUnchanged(before, c.storage, c.outflow, c.initial, c.finals, c.inflows,
                    c.outflows, c.message);
        }

        @ParameterizedTest
        @ValueSource(strings = {"storageTable", "outflowTable", "initialStepOutflows",
                "finalStepOutflows", "inflows", "outflows", "message"})
        void nullArraysAreNamed(String name) {
            Call c = new Call();
            switch (name) {
                case "storageTable" -> c.storage = null;
                case "outflowTable" -> c.outflow = null;
                case "initialStepOutflows" -> c.initial = null;
                case "finalStepOutflows" -> c.finals = null;
                case "inflows" -> c.inflows = null;
                case "outflows" -> c.outflows = null;
                default -> c.message = null;
            }
            assertRejected(c, "Invalid arguments: " + name + " is null");
        }

        @Test
        void tablesShorterThanPairCount() {
            Call c = new Call();
            c.outflow = new double[] {0, 50};
            assertRejected(c,
                    "Invalid arguments: outflowTable has 2 elements, fewer than the 3 required");
        }

        @Test
        void stepArraysShorterThanStepCount() {
            Call c = new Call();
            c.steps = 2;
            c.initial = new double[] {50, 50};
            assertRejected(c, "Invalid arguments: finalStepOutflows has 1 elements, fewer than"
                    + " the 2 required");
        }

        @Test
        void hydrographShorterThanOrdinateCount() {
            Call c = new Call();
            c.ordinates = 5;
            assertRejected(c,
                    "Invalid arguments: inflows has 4 elements, fewer than the 5 required");
        }

        @Test
        void negativeCounts() {
            Call c = new Call();
            c.pairs = -1;
            assertRejected(c, "Invalid arguments: pairCount is negative (-1)");
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
