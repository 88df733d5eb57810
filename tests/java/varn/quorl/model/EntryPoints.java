package varn.quorl.model;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * The five entry points described as a host sees them: each parameter with its name and role,
 * and a valid call of 24 hourly ordinates whose flows can be scaled. Shared by the tests that
 * call every entry point in the same way (many threads, hostile arguments).
 */
final class EntryPoints {
    private EntryPoints() {}

    /** What a parameter is to the entry point. */
    enum Role {
        /** an int that is a value, not a count (the interval) */
        VALUE,
        /** an int that sets the length of other arrays */
        COUNT,
        /** the boolean subreachesFromInitialFlows */
        FLAG,
        /** the status int, never read */
        STATUS,
        /** a trailing int, never read */
        UNUSED,
        /** a double[] the routine only reads */
        INPUT,
        /** a double[] the routine writes */
        OUTPUT,
        /** the section shape char[] */
        SHAPE,
        /** the message byte[] */
        MESSAGE
    }

    record Parameter(String name, Role role) {
        boolean isArray() {
            return role == Role.INPUT || role == Role.OUTPUT || role == Role.SHAPE
                    || role == Role.MESSAGE;
        }
    }

    /** Flood hydrograph of 24 hourly ordinates, m3/s, peaking at ordinate 7. */
    static final double[] HYDROGRAPH = {10, 12, 20, 35, 50, 62, 70, 66, 58, 48, 40, 33, 28, 24,
        21, 19, 17, 16, 15, 14, 13, 12, 11, 10};
    static final int ORDINATES = HYDROGRAPH.length;
    /** Storage (m3), outflow (m3/s) and elevation (m) of a reach. */
    static final double[] STORAGE = {0, 1e5, 3e5, 7e5, 1.4e6, 2.5e6, 4e6, 6e6};
    static final double[] OUTFLOW = {0, 5, 10, 20, 40, 70, 110, 160};
    static final double[] ELEVATION = {100, 100.5, 101, 101.6, 102.3, 103, 103.8, 104.7};
    /** An eight-point section: a 10 m main channel between banks at 102 m, and overbanks. */
    static final double[] STATIONS = {0, 20, 40, 45, 55, 60, 80, 100};
    static final double[] ELEVATIONS = {105, 103, 102, 98, 98, 102, 103, 105};
    static final double[] ROUGHNESS = {0.06, 0.035, 0.06};

    /** One entry point: its method, its parameters and a valid call. */
    abstract static class EntryPoint {
        final String name;
        final Method method;
        final List<Parameter> parameters;
        /** true for W = 80 (81 bytes needed), false for W = length - 1 */
        final boolean fixedWidth;

        EntryPoint(Class<?> host, String name, boolean fixedWidth, Parameter... parameters) {
            this.name = name;
            this.fixedWidth = fixedWidth;
            this.parameters = List.of(parameters);
            this.method = Arrays.stream(host.getDeclaredMethods())
                    .filter(m -> m.getName().equals(name)).findFirst().orElseThrow();
        }

        /** A valid call with every flow scaled by the factor; fresh arrays every time. */
        abstract Object[] arguments(double scale);

        int indexOf(String parameter) {
            for (int i = 0; i < parameters.size(); i++) {
                if (parameters.get(i).name().equals(parameter)) {
                    return i;
                }
            }
            throw new IllegalArgumentException(parameter);
        }

        String call(Object[] arguments) {
            try {
                return (String) method.invoke(null, arguments);
            } catch (IllegalAccessException e) {
                throw new AssertionError(e);
            } catch (InvocationTargetException e) {
                throw new AssertionError(name + " threw", e.getCause());
            }
        }

        @Override
        public String toString() {
            return name;
        }
    }

    static Parameter p(String name, Role role) {
        return new Parameter(name, role);
    }

    static double[] scaled(double[] values, double factor) {
        double[] copy = values.clone();
        for (int i = 0; i < copy.length; i++) {
            copy[i] *= factor;
        }
        return copy;
    }

    static double[] one(double value) {
        return new double[] {value};
    }

    static double[] filled(int length, double value) {
        double[] values = new double[length];
        Arrays.fill(values, value);
        return values;
    }

    static final EntryPoint MUSKINGUM = new EntryPoint(MuskingumRouting.class,
            "jniMuskingumRouting", true, p("intervalMinutes", Role.VALUE),
            p("muskingumK", Role.INPUT), p("muskingumX", Role.INPUT), p("stepCount", Role.COUNT),
            p("initialStepOutflows", Role.INPUT), p("finalStepOutflows", Role.OUTPUT),
            p("ordinateCount", Role.COUNT), p("inflows", Role.INPUT), p("outflows", Role.OUTPUT),
            p("status", Role.STATUS), p("message", Role.MESSAGE),
            p("messageLength", Role.UNUSED)) {
        @Override
        Object[] arguments(double scale) {
            double[] inflows = scaled(HYDROGRAPH, scale);
            return new Object[] {60, one(3.0), one(0.2), 3, filled(3, inflows[0]), new double[3],
                ORDINATES, inflows, new double[ORDINATES], 0, new byte[81], 80};
        }
    };

    static final EntryPoint PULS = new EntryPoint(PulsChannelRouting.class,
            "jniPulsChannelRouting", false, p("intervalMinutes", Role.VALUE),
            p("pairCount", Role.COUNT), p("storageTable", Role.INPUT),
            p("outflowTable", Role.INPUT), p("stepCount", Role.COUNT),
            p("initialStepOutflows", Role.INPUT), p("finalStepOutflows", Role.OUTPUT),
            p("ordinateCount", Role.COUNT), p("inflows", Role.INPUT), p("outflows", Role.OUTPUT),
            p("status", Role.STATUS), p("message", Role.MESSAGE),
            p("messageLength", Role.UNUSED)) {
        @Override
        Object[] arguments(double scale) {
            double[] inflows = scaled(HYDROGRAPH, scale);
            return new Object[] {60, STORAGE.length, STORAGE.clone(), OUTFLOW.clone(), 2,
                filled(2, inflows[0]), new double[2], ORDINATES, inflows,
                new double[ORDINATES], 0, new byte[101], 100};
        }
    };

    static final EntryPoint PULS_WITH_LOSSES = new EntryPoint(PulsChannelRoutingWithLosses.class,
            "jniPulsChannelRoutingWithLosses", false, p("intervalMinutes", Role.VALUE),
            p("pairCount", Role.COUNT), p("storageTable", Role.INPUT),
            p("outflowTable", Role.INPUT), p("elevationTable", Role.INPUT),
            p("lossElevation", Role.INPUT), p("lossRate", Role.INPUT), p("stepCount", Role.COUNT),
            p("initialStepOutflows", Role.INPUT), p("finalStepOutflows", Role.OUTPUT),
            p("ordinateCount", Role.COUNT), p("inflows", Role.INPUT), p("outflows", Role.OUTPUT),
            p("status", Role.STATUS), p("message", Role.MESSAGE),
            p("messageLength", Role.UNUSED)) {
        @Override
        Object[] arguments(double scale) {
            double[] inflows = scaled(HYDROGRAPH, scale);
            return new Object[] {60, STORAGE.length, STORAGE.clone(), OUTFLOW.clone(),
                ELEVATION.clone(), one(101.0), one(1e-6), 2, filled(2, inflows[0]),
                new double[2], ORDINATES, inflows, new double[ORDINATES], 0, new byte[101], 100};
        }
    };

    /** The twelve parameters from inflows to outflowVolume, common to both Muskingum-Cunge. */
    private static final Parameter[] CUNGE_TAIL = {p("inflows", Role.INPUT),
        p("lateralInflows", Role.INPUT), p("outflows", Role.OUTPUT),
        p("computationInterval", Role.OUTPUT), p("subreachLength", Role.OUTPUT),
        p("peakOutflow", Role.OUTPUT), p("peakTimeMinutes", Role.OUTPUT),
        p("maxCelerity", Role.OUTPUT), p("initialStorage", Role.OUTPUT),
        p("finalStorage", Role.OUTPUT), p("inflowVolume", Role.OUTPUT),
        p("outflowVolume", Role.OUTPUT), p("status", Role.STATUS), p("message", Role.MESSAGE)};

    private static Parameter[] concat(Parameter[] head, Parameter[] tail, Parameter... end) {
        List<Parameter> all = new ArrayList<>(Arrays.asList(head));
        all.addAll(Arrays.asList(tail));
        all.addAll(Arrays.asList(end));
        return all.toArray(new Parameter[0]);
    }

    private static Object[] cungeTail(double[] inflows, int messageLength) {
        Object[] tail = new Object[14];
        tail[0] = inflows;
        tail[1] = filled(ORDINATES, 0.0001);
        tail[2] = new double[ORDINATES];
        for (int i = 3; i < 12; i++) {
            tail[i] = new double[1];
        }
        tail[12] = 0;
        tail[13] = new byte[messageLength];
        return tail;
    }

    private static Object[] join(Object[] head, Object[] tail, Object... end) {
        List<Object> all = new ArrayList<>(Arrays.asList(head));
        all.addAll(Arrays.asList(tail));
        all.addAll(Arrays.asList(end));
        return all.toArray();
    }

    static final EntryPoint CUNGE_8POINT = new EntryPoint(MuskingumCunge8ptRouting.class,
            "jniMuskingumCunge8ptRouting", true, concat(new Parameter[] {
                p("intervalMinutes", Role.VALUE), p("reachLength", Role.INPUT),
                p("channelSlope", Role.INPUT), p("stations", Role.INPUT),
                p("elevations", Role.INPUT), p("manningN", Role.INPUT),
                p("initialFlowCount", Role.COUNT), p("subreachesFromInitialFlows", Role.FLAG),
                p("initialFlows", Role.INPUT), p("finalFlows", Role.OUTPUT),
                p("ordinateCount", Role.COUNT)}, CUNGE_TAIL, p("messageLength", Role.UNUSED))) {
        @Override
        Object[] arguments(double scale) {
            double[] inflows = scaled(HYDROGRAPH, scale);
            return join(new Object[] {60, one(8000.0), one(0.0015), STATIONS.clone(),
                ELEVATIONS.clone(), ROUGHNESS.clone(), 3, false, filled(3, inflows[0]),
                new double[3], ORDINATES}, cungeTail(inflows, 81), 80);
        }
    };

    static final EntryPoint CUNGE_PRISM = new EntryPoint(MuskingumCungePrismRouting.class,
            "jniMuskingumCungePrismRouting", false, concat(new Parameter[] {
                p("intervalMinutes", Role.VALUE), p("reachLength", Role.INPUT),
                p("channelSlope", Role.INPUT), p("manningN", Role.INPUT),
                p("sectionShape", Role.SHAPE), p("bottomWidth", Role.INPUT),
                p("sideSlope", Role.INPUT), p("initialFlowCount", Role.COUNT),
                p("subreachesFromInitialFlows", Role.FLAG), p("initialFlows", Role.INPUT),
                p("finalFlows", Role.OUTPUT), p("ordinateCount", Role.COUNT)}, CUNGE_TAIL,
                p("messageLength", Role.UNUSED), p("shapeLength", Role.UNUSED))) {
        @Override
        Object[] arguments(double scale) {
            double[] inflows = scaled(HYDROGRAPH, scale);
            // Scales above 1 route through a circular conduit, the others through a trapezoid.
            boolean circle = scale > 1;
            char[] shape = (circle ? "CIRCLE" : "TRAPEZOID").toCharArray();
            return join(new Object[] {60, one(6000.0), one(0.001), one(0.03), shape,
                one(circle ? 6.0 : 12.0), one(1.5), 2, false, filled(2, inflows[0]),
                new double[2], ORDINATES}, cungeTail(inflows, 121), 120, 10);
        }
    };

    static final List<EntryPoint> ALL =
            List.of(MUSKINGUM, PULS, PULS_WITH_LOSSES, CUNGE_8POINT, CUNGE_PRISM);

    /** Deep copies of every array among the arguments (other arguments as they are). */
    static Object[] snapshot(Object[] arguments) {
        return HostArrays.snapshot(arguments);
    }

    /** Whether two snapshots hold the same values bit for bit (NaNs compared by their bits). */
    static boolean sameBits(Object a, Object b) {
        if (a instanceof double[] x && b instanceof double[] y) {
            if (x.length != y.length) {
                return false;
            }
            for (int i = 0; i < x.length; i++) {
                if (Double.doubleToRawLongBits(x[i]) != Double.doubleToRawLongBits(y[i])) {
                    return false;
                }
            }
            return true;
        }
        if (a instanceof byte[] x && b instanceof byte[] y) {
            return Arrays.equals(x, y);
        }
        if (a instanceof char[] x && b instanceof char[] y) {
            return Arrays.equals(x, y);
        }
        return a == null ? b == null : a.equals(b);
    }
}
