package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;

import java.nio.charset.StandardCharsets;

/** Helpers shared by the entry-point tests: the undefined value, messages and snapshots. */
final class HostArrays {
    private HostArrays() {}

    /** The undefined value: single-precision -1.0E38 widened to double. */
    static final double UNDEFINED = Double.longBitsToDouble(0xC7D2CED320000000L);

    static boolean isUndefined(double value) {
        return value == UNDEFINED || Double.isNaN(value);
    }

    static byte[] message(int length) {
        return new byte[length];
    }

    static byte[] message(int length, String initialText) {
        byte[] bytes = new byte[length];
        byte[] text = initialText.getBytes(StandardCharsets.US_ASCII);
        System.arraycopy(text, 0, bytes, 0, text.length);
        return bytes;
    }

    static double[] filled(int length, double value) {
        double[] values = new double[length];
        java.util.Arrays.fill(values, value);
        return values;
    }

    /** Deep copies of the given arrays, to show later that a call changed none of them. */
    static Object[] snapshot(Object... arrays) {
        Object[] copies = new Object[arrays.length];
        for (int i = 0; i < arrays.length; i++) {
            Object a = arrays[i];
            if (a instanceof double[] d) {
                copies[i] = d.clone();
            } else if (a instanceof byte[] b) {
                copies[i] = b.clone();
            } else if (a instanceof char[] c) {
                copies[i] = c.clone();
            } else {
                copies[i] = a;
            }
        }
        return copies;
    }

    static void assertUnchanged(Object[] before, Object... arrays) {
        for (int i = 0; i < arrays.length; i++) {
            Object a = arrays[i];
            if (a instanceof double[] d) {
                assertArrayEquals((double[]) before[i], d, "array " + i + " changed");
            } else if (a instanceof byte[] b) {
                assertArrayEquals((byte[]) before[i], b, "array " + i + " changed");
            } else if (a instanceof char[] c) {
                assertArrayEquals((char[]) before[i], c, "array " + i + " changed");
            }
        }
    }
}
