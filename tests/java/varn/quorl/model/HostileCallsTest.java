package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.DynamicTest.dynamicTest;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.TestFactory;

/**
 * A careless or hostile host calls the native methods directly: for every entry point and
 * every parameter in turn, a null array, an array one element too short, negative and huge
 * counts, empty, one-element and 4096-element messages, NaN and infinite values. The virtual
 * machine must survive, and every answer is either a routed result (the inputs unchanged) or
 * an "Invalid arguments:" text with no host array changed.
 */
class HostileCallsTest {
    private static final String REJECTED = "Invalid arguments:";
    private static final int LONG_ARRAY = 4096;

    /** What a case must give. */
    enum Expect {
        /** "Invalid arguments:" naming the parameter, nothing changed */
        REJECTED,
        /** a routed result or a rejection, whichever the library chooses */
        EITHER,
        /** the very result of the valid call: the parameter is not read */
        IGNORED
    }

    /** One variation of one parameter of a valid call. */
    record Case(String label, Function<Object, Object> replace, Expect expect) {}

    private static Case replaced(String label, Function<Object, Object> replace, Expect expect) {
        return new Case(label, replace, expect);
    }

    private static Case value(String label, Object value, Expect expect) {
        return new Case(label, original -> value, expect);
    }

    private static double[] fill(Object original, double value) {
        double[] values = ((double[]) original).clone();
        Arrays.fill(values, value);
        return values;
    }

    /** The cases that apply to a parameter of the given role. */
    private static List<Case> cases(EntryPoints.EntryPoint entryPoint, EntryPoints.Role role) {
        List<Case> cases = new ArrayList<>();
        switch (role) {
            case INPUT, OUTPUT -> {
                cases.add(value("null", null, Expect.REJECTED));
                cases.add(replaced("one element too short",
                        o -> Arrays.copyOf((double[]) o, ((double[]) o).length - 1),
                        Expect.REJECTED));
                cases.add(replaced("longer than needed",
                        o -> Arrays.copyOf((double[]) o, ((double[]) o).length + 7),
                        Expect.EITHER));
                cases.add(replaced("NaN", o -> fill(o, Double.NaN), Expect.EITHER));
                cases.add(replaced("+infinity", o -> fill(o, Double.POSITIVE_INFINITY),
                        Expect.EITHER));
                cases.add(replaced("-infinity", o -> fill(o, Double.NEGATIVE_INFINITY),
                        Expect.EITHER));
                cases.add(replaced("largest double", o -> fill(o, Double.MAX_VALUE),
                        Expect.EITHER));
                cases.add(replaced("smallest subnormal", o -> fill(o, Double.MIN_VALUE),
                        Expect.EITHER));
            }
            case COUNT -> {
                cases.add(value("-1", -1, Expect.EITHER));
                cases.add(value("MIN_VALUE", Integer.MIN_VALUE, Expect.EITHER));
                cases.add(value("0", 0, Expect.EITHER));
                cases.add(value("1", 1, Expect.EITHER));
                cases.add(value("2^20", 1 << 20, Expect.REJECTED));
                cases.add(value("MAX_VALUE", Integer.MAX_VALUE, Expect.REJECTED));
            }
            case VALUE -> {
                cases.add(value("-1", -1, Expect.EITHER));
                cases.add(value("0", 0, Expect.EITHER));
                cases.add(value("MIN_VALUE", Integer.MIN_VALUE, Expect.EITHER));
                cases.add(value("1", 1, Expect.EITHER));
            }
            case FLAG -> cases.add(value("true", true, Expect.EITHER));
            case STATUS, UNUSED -> {
                cases.add(value("MIN_VALUE", Integer.MIN_VALUE, Expect.IGNORED));
                cases.add(value("MAX_VALUE", Integer.MAX_VALUE, Expect.IGNORED));
            }
            case SHAPE -> {
                cases.add(value("null", null, Expect.REJECTED));
                cases.add(value("empty", new char[0], Expect.EITHER));
                cases.add(value("4096 characters", filledChars(LONG_ARRAY, 'C'), Expect.EITHER));
                cases.add(value("characters beyond 8 bits", filledChars(6, '\uFFFF'),
                        Expect.EITHER));
            }
            case MESSAGE -> {
                cases.add(value("null", null, Expect.REJECTED));
                cases.add(value("empty", new byte[0], Expect.REJECTED));
                cases.add(value("1 element", new byte[1],
                        entryPoint.fixedWidth ? Expect.REJECTED : Expect.EITHER));
                if (entryPoint.fixedWidth) {
                    cases.add(value("80 elements", new byte[80], Expect.REJECTED));
                }
                cases.add(value("4096 elements", new byte[LONG_ARRAY], Expect.EITHER));
                cases.add(value("4096 non-zero bytes", filledBytes(LONG_ARRAY, (byte) 0xC3),
                        Expect.EITHER));
            }
            default -> throw new IllegalStateException(role.toString());
        }
        return cases;
    }

    private static char[] filledChars(int length, char c) {
        char[] chars = new char[length];
        Arrays.fill(chars, c);
        return chars;
    }

    private static byte[] filledBytes(int length, byte b) {
        byte[] bytes = new byte[length];
        Arrays.fill(bytes, b);
        return bytes;
    }

    /** Runs one case and checks its answer. */
    private static void check(EntryPoints.EntryPoint entryPoint, int index, Case c) {
        EntryPoints.Parameter parameter = entryPoint.parameters.get(index);
        Object[] valid = entryPoint.arguments(1.0);
        String validText = entryPoint.call(valid);

        Object[] arguments = entryPoint.arguments(1.0);
        arguments[index] = c.replace().apply(arguments[index]);
        Object[] before = EntryPoints.snapshot(arguments);
        String text = entryPoint.call(arguments);
        assertNotNull(text);

        boolean rejected = text.startsWith(REJECTED);
        switch (c.expect()) {
            case REJECTED -> {
                assertTrue(rejected, "expected a rejection, got \"" + text + "\"");
                // A count too large for its arrays is reported under the first array it governs.
                if (parameter.role() != EntryPoints.Role.COUNT) {
                    assertTrue(text.contains(parameter.name()), text);
                }
            }
            case IGNORED -> {
                assertEquals(validText, text);
                for (int i = 0; i < arguments.length; i++) {
                    if (i == index) {
                        continue;
                    }
                    assertTrue(EntryPoints.sameBits(valid[i], arguments[i]),
                            entryPoint.parameters.get(i).name() + " differs from the valid call");
                }
            }
            case EITHER -> { }
            default -> throw new IllegalStateException();
        }
        for (int i = 0; i < arguments.length; i++) {
            EntryPoints.Parameter p = entryPoint.parameters.get(i);
            boolean mustStay = rejected || p.role() == EntryPoints.Role.INPUT
                    || p.role() == EntryPoints.Role.SHAPE;
            if (mustStay) {
                assertTrue(EntryPoints.sameBits(before[i], arguments[i]),
                        p.name() + " was changed by a call that "
                                + (rejected ? "was rejected: " + text : "only reads it"));
            }
        }
        if (!rejected && arguments[entryPoint.indexOf("message")] instanceof byte[] message) {
            int width = entryPoint.fixedWidth ? 80 : message.length - 1;
            assertTrue(text.length() <= width, "text longer than the field: " + text.length());
        }
    }

    @TestFactory
    Stream<DynamicTest> everyParameterOfEveryEntryPoint() {
        List<DynamicTest> tests = new ArrayList<>();
        for (EntryPoints.EntryPoint entryPoint : EntryPoints.ALL) {
            Object[] reference = entryPoint.arguments(1.0);
            String referenceText = entryPoint.call(reference);
            for (int i = 0; i < entryPoint.parameters.size(); i++) {
                final int index = i;
                EntryPoints.Parameter parameter = entryPoint.parameters.get(i);
                for (Case c : cases(entryPoint, parameter.role())) {
                    tests.add(dynamicTest(entryPoint + " " + parameter.name() + ": " + c.label(),
                            () -> check(entryPoint, index, c)));
                }
            }
            // After all of that, the same valid call still gives the same answer.
            tests.add(dynamicTest(entryPoint + " still routes as before", () -> {
                Object[] again = entryPoint.arguments(1.0);
                assertEquals(referenceText, entryPoint.call(again));
                for (int i = 0; i < again.length; i++) {
                    assertTrue(EntryPoints.sameBits(reference[i], again[i]),
                            entryPoint.parameters.get(i).name());
                }
            }));
        }
        return tests.stream();
    }
}
