package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static varn.quorl.model.HostArrays.UNDEFINED;
import static varn.quorl.model.HostArrays.assertUnchanged;
import static varn.quorl.model.HostArrays.isUndefined;
import static varn.quorl.model.HostArrays.snapshot;

import java.util.Arrays;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** The Muskingum entry point and the frame every entry point shares, from a real JVM. */
class MuskingumRoutingTest {
    private static final double TOLERANCE = 5e-7;

    /** One call's arguments; each test changes what it needs. */
    static final class Call {
        int interval = 60;
        double[] k = {1.0};
        double[] x = {0.2};
        int steps = 1;
        double[] initial = {10.0};
        double[] finals = new double[1];
        int ordinates = 5;
        double[] inflows = {10, 20, 30, 20, 10};
        double[] outflows = new double[5];
        int status = 0;
        byte[] message = new byte[81];

        String run() {
            return MuskingumRouting.jniMuskingumRouting(interval, k, x, steps, initial, finals,
                    ordinates, inflows, outflows, status, message, 80);
        }
    }

    @Nested
    class Routing {
        @Test
        void workedExampleComesBackInTheHostArrays() {
            Call c = new Call();
            assertEquals("", c.run());
            assertArrayEquals(new double[] {10, 12.307692, 20.532544, 25.507510, 18.963272},
                    c.outflows, TOLERANCE);
            assertEquals(18.963272, c.finals[0], TOLERANCE);
            assertArrayEquals(new double[] {10, 20, 30, 20, 10}, c.inflows);
            assertArrayEquals(new byte[81], c.message);
        }

        @Test
        void twoStepsWarnOfInstabilityAndStillRoute() {
            Call c = new Call();
            c.steps = 2;
            c.initial = new double[] {10, 10};
            c.finals = new double[2];
            String text = c.run();
            assertEquals(80, text.length());
            assertEquals("Muskingum routing is unstable with the given parameters.", text.strip());
            assertArrayEquals(new double[] {10, 11.975309, 19.437586, 26.149977, 21.109418},
                    c.outflows, TOLERANCE);
        }

        @Test
        void existingMessageTextIsReturnedWhenNothingIsReported() {
            Call c = new Call();
            c.message = HostArrays.message(81, "twenty characters ok");
            assertEquals("twenty characters ok", c.run());
        }

        @ParameterizedTest
        @ValueSource(ints = {0, -1, 12345})
        void statusPassedByTheHostHasNoEffect(int status) {
            Call reference = new Call();
            reference.steps = 0;
            String expected = reference.run();
            Call c = new Call();
            c.steps = 0;
            c.status = status;
            assertEquals(expected, c.run());
            assertArrayEquals(reference.outflows, c.outflows);
        }

        @Test
        void undefinedInflowSpreadsFromItsOrdinate() {
            Call c = new Call();
            c.inflows[2] = Double.NaN;
            assertEquals("", c.run());
            assertEquals(12.307692, c.outflows[1], TOLERANCE);
            assertTrue(isUndefined(c.outflows[2]) && isUndefined(c.outflows[4]));
            assertTrue(isUndefined(c.finals[0]));
        }
    }

    @Nested
    class InvalidParameters {
        @Test
        void zeroStepsGiveTheEightyCharacterTextAndUndefinedOutflows() {
            Call c = new Call();
            c.steps = 0;
            String text = c.run();
            assertEquals(80, text.length());
            assertTrue(text.startsWith("Invalid Muskingum parameters: K = "), text);
            assertEquals("Invalid Muskingum parameters: K = 1., x = .2, Number of reaches = 0",
                    text.stripTrailing());
            for (double o : c.outflows) {
                assertEquals(UNDEFINED, o);
            }
            assertEquals(0, c.message[80]);
            assertEquals('I', c.message[0]);
        }
    }

    @Nested
    class InvalidArguments {
        private void assertRejected(Call c, String parameter) {
            Object[] before = snapshot(c.k, c.x, c.initial, c.finals, c.inflows, c.outflows,
                    c.message);
            String text = c.run();
            assertTrue(text.startsWith("Invalid arguments:"), text);
            assertTrue(text.contains(parameter), text);
            assertUnchanged(before, c.k, c.x, c.initial, c.finals, c.inflows, c.outflows,
                    c.message);
        }

        @Test
        void nullArraysAreNamed() {
            String[] names = {"muskingumK", "muskingumX", "initialStepOutflows",
                "finalStepOutflows", "inflows", "outflows", "message"};
            for (String name : names) {
                Call c = new Call();
                switch (name) {
                    case "muskingumK" -> c.k = null;
                    case "muskingumX" -> c.x = null;
                    case "initialStepOutflows" -> c.initial = null;
                    case "finalStepOutflows" -> c.finals = null;
                    case "inflows" -> c.inflows = null;
                    case "outflows" -> c.outflows = null;
                    default -> c.message = null;
                }
                String text = c.run();
                assertEquals("Invalid arguments: " + name + " is null", text);
            }
        }

        @Test
        void shortArraysAreRejected() {
            Call c = new Call();
            c.inflows = new double[4];
            assertRejected(c, "inflows");
            c = new Call();
            c.outflows = new double[4];
            assertRejected(c, "outflows");
            c = new Call();
            c.steps = 2;
            assertRejected(c, "initialStepOutflows");
            c = new Call();
            c.k = new double[0];
            assertRejected(c, "muskingumK");
            c = new Call();
            c.x = new double[0];
            assertRejected(c, "muskingumX");
            c = new Call();
            c.message = new byte[80];
            assertRejected(c, "message");
        }

        @Test
        void negativeCountsAreRejected() {
            Call c = new Call();
            c.steps = -1;
            assertRejected(c, "stepCount");
            c = new Call();
            c.ordinates = -3;
            assertRejected(c, "ordinateCount");
            c = new Call();
            c.ordinates = Integer.MAX_VALUE;
            assertRejected(c, "inflows");
        }
    }

    @Nested
    class MessageBuffer {
        @Test
        void longMessageArrayReadsOnlyTheFirstEighty() {
            Call c = new Call();
            c.message = new byte[4096];
            Arrays.fill(c.message, (byte) 'a');
            String text = c.run();
            assertEquals("a".repeat(80), text);
            assertEquals(0, c.message[80]);
            assertEquals('a', c.message[81]);
        }

        @Test
        void bytesThatAreNotTextComeBackReadable() {
            Call c = new Call();
            c.message = new byte[81];
            c.message[0] = (byte) 0xFF;
            c.message[1] = 'o';
            c.message[2] = (byte) 0xC3;
            c.message[3] = (byte) 0xA9;
            assertEquals("?o\u00e9", c.run());
        }
    }
}
