package varn.quorl.bench;

import java.util.Arrays;
import java.util.Locale;
import varn.quorl.model.MuskingumCunge8ptRouting;
import varn.quorl.model.MuskingumCungePrismRouting;
import varn.quorl.model.MuskingumRouting;
import varn.quorl.model.PulsChannelRouting;
import varn.quorl.model.PulsChannelRoutingWithLosses;

/**
 * Calls per second of each routing entry point on a small input (24 ordinates), beside native
 * methods of the same signature that do nothing, run only the argument frame, or make only
 * the JNI calls every entry point needs; and, for a large input, the share of an entry point's
 * time that is spent outside the routine (the frame's own time over the entry point's time).
 * Each measurement warms up first, then takes the median of timed batches.
 */
public final class JniOverhead {
    private JniOverhead() {}

    private static final double WARM_UP_SECONDS = 1.0;
    private static final double BATCH_SECONDS = 0.5;
    private static final int BATCHES = 7;
    private static final int SMALL = 24;
    private static final int LARGE = 20_000;
    private static final double NANOS_PER_SECOND = 1e9;

    /** A call whose result is kept so that the virtual machine cannot drop it. */
    interface Call {
        String run();
    }

    private static int sink;

    /** Median calls per second over the timed batches, after the warm-up. */
    static double callsPerSecond(Call call) {
        runFor(call, WARM_UP_SECONDS);
        double[] rates = new double[BATCHES];
        for (int b = 0; b < BATCHES; b++) {
            rates[b] = runFor(call, BATCH_SECONDS);
        }
        Arrays.sort(rates);
        return rates[BATCHES / 2];
    }

    private static double runFor(Call call, double seconds) {
        long start = System.nanoTime();
        long end = start + (long) (seconds * NANOS_PER_SECOND);
        long calls = 0;
        long now;
        do {
            String s = call.run();
            sink += s == null ? 0 : s.length();
            calls++;
            now = System.nanoTime();
        } while (now < end);
        return calls * NANOS_PER_SECOND / (now - start);
    }

    /** A flood wave repeated over n hourly ordinates, m3/s, between 10 and 70. */
    static double[] hydrograph(int n) {
        double[] wave = {10, 12, 20, 35, 50, 62, 70, 66, 58, 48, 40, 33, 28, 24, 21, 19, 17, 16,
            15, 14, 13, 12, 11, 10};
        double[] h = new double[n];
        for (int i = 0; i < n; i++) {
            h[i] = wave[i % wave.length];
        }
        return h;
    }

    static double[] one(double v) {
        return new double[] {v};
    }

    static double[] filled(int n, double v) {
        double[] a = new double[n];
        Arrays.fill(a, v);
        return a;
    }

    static final double[] STORAGE = {0, 1e5, 3e5, 7e5, 1.4e6, 2.5e6, 4e6, 6e6};
    static final double[] OUTFLOW = {0, 5, 10, 20, 40, 70, 110, 160};
    static final double[] ELEVATION = {100, 100.5, 101, 101.6, 102.3, 103, 103.8, 104.7};
    static final double[] STATIONS = {0, 20, 40, 45, 55, 60, 80, 100};
    static final double[] ELEVATIONS = {105, 103, 102, 98, 98, 102, 103, 105};
    static final double[] ROUGHNESS = {0.06, 0.035, 0.06};

    /** One entry point's calls for one input size: the real one and its references. */
    record Calls(String name, Call entry, Call empty, Call frame, Call raw) {}

    static Calls muskingum(int n) {
        double[] k = one(3.0), x = one(0.2), initial = filled(3, 10), finals = new double[3];
        double[] in = hydrograph(n), out = new double[n];
        byte[] m = new byte[81];
        return new Calls("Muskingum",
                () -> MuskingumRouting.jniMuskingumRouting(60, k, x, 3, initial, finals, n, in,
                        out, 0, m, 80),
                () -> EmptyNatives.emptyMuskingum(60, k, x, 3, initial, finals, n, in, out, 0, m,
                        80),
                () -> EmptyNatives.frameMuskingum(60, k, x, 3, initial, finals, n, in, out, 0, m,
                        80),
                () -> EmptyNatives.rawMuskingum(60, k, x, 3, initial, finals, n, in, out, 0, m,
                        80));
    }

    static Calls puls(int n) {
        double[] s = STORAGE.clone(), o = OUTFLOW.clone(), initial = filled(2, 10);
        double[] finals = new double[2], in = hydrograph(n), out = new double[n];
        byte[] m = new byte[101];
        int p = s.length;
        return new Calls("Puls",
                () -> PulsChannelRouting.jniPulsChannelRouting(60, p, s, o, 2, initial, finals,
                        n, in, out, 0, m, 100),
                () -> EmptyNatives.emptyPuls(60, p, s, o, 2, initial, finals, n, in, out, 0, m,
                        100),
                () -> EmptyNatives.framePuls(60, p, s, o, 2, initial, finals, n, in, out, 0, m,
                        100),
                null);
    }

    static Calls pulsWithLosses(int n) {
        double[] s = STORAGE.clone(), o = OUTFLOW.clone(), e = ELEVATION.clone();
        double[] le = one(101.0), lr = one(1e-6), initial = filled(2, 10);
        double[] finals = new double[2], in = hydrograph(n), out = new double[n];
        byte[] m = new byte[101];
        int p = s.length;
        return new Calls("Puls with losses",
                () -> PulsChannelRoutingWithLosses.jniPulsChannelRoutingWithLosses(60, p, s, o,
                        e, le, lr, 2, initial, finals, n, in, out, 0, m, 100),
                () -> EmptyNatives.emptyPulsWithLosses(60, p, s, o, e, le, lr, 2, initial,
                        finals, n, in, out, 0, m, 100),
                () -> EmptyNatives.framePulsWithLosses(60, p, s, o, e, le, lr, 2, initial,
                        finals, n, in, out, 0, m, 100),
                null);
    }

    static Calls cunge8pt(int n) {
        double[] l = one(8000), sl = one(0.0015), st = STATIONS.clone(), el = ELEVATIONS.clone();
        double[] r = ROUGHNESS.clone(), initial = filled(3, 10), finals = new double[3];
        double[] in = hydrograph(n), lat = filled(n, 0.0001), out = new double[n];
        double[][] res = new double[9][1];
        byte[] m = new byte[81];
        return new Calls("Muskingum-Cunge eight-point",
                () -> MuskingumCunge8ptRouting.jniMuskingumCunge8ptRouting(60, l, sl, st, el, r,
                        3, false, initial, finals, n, in, lat, out, res[0], res[1], res[2],
                        res[3], res[4], res[5], res[6], res[7], res[8], 0, m, 80),
                () -> EmptyNatives.emptyCunge8pt(60, l, sl, st, el, r, 3, false, initial, finals,
                        n, in, lat, out, res[0], res[1], res[2], res[3], res[4], res[5], res[6],
                        res[7], res[8], 0, m, 80),
                () -> EmptyNatives.frameCunge8pt(60, l, sl, st, el, r, 3, false, initial, finals,
                        n, in, lat, out, res[0], res[1], res[2], res[3], res[4], res[5], res[6],
                        res[7], res[8], 0, m, 80),
                () -> EmptyNatives.rawCunge8pt(60, l, sl, st, el, r, 3, false, initial, finals,
                        n, in, lat, out, res[0], res[1], res[2], res[3], res[4], res[5], res[6],
                        res[7], res[8], 0, m, 80));
    }

    static Calls cungePrism(int n) {
        double[] l = one(6000), sl = one(0.001), nn = one(0.03), w = one(12), z = one(1.5);
        double[] initial = filled(2, 10), finals = new double[2];
        double[] in = hydrograph(n), lat = filled(n, 0.0), out = new double[n];
        double[][] res = new double[9][1];
        char[] shape = "TRAPEZOID".toCharArray();
        byte[] m = new byte[121];
        return new Calls("Muskingum-Cunge trapezoid",
                () -> MuskingumCungePrismRouting.jniMuskingumCungePrismRouting(60, l, sl, nn,
                        shape, w, z, 2, false, initial, finals, n, in, lat, out, res[0], res[1],
                        res[2], res[3], res[4], res[5], res[6], res[7], res[8], 0, m, 120, 9),
                () -> EmptyNatives.emptyCungePrism(60, l, sl, nn, shape, w, z, 2, false, initial,
                        finals, n, in, lat, out, res[0], res[1], res[2], res[3], res[4], res[5],
                        res[6], res[7], res[8], 0, m, 120, 9),
                () -> EmptyNatives.frameCungePrism(60, l, sl, nn, shape, w, z, 2, false, initial,
                        finals, n, in, lat, out, res[0], res[1], res[2], res[3], res[4], res[5],
                        res[6], res[7], res[8], 0, m, 120, 9),
                null);
    }

    static Calls[] all(int n) {
        return new Calls[] {muskingum(n), puls(n), pulsWithLosses(n), cunge8pt(n),
            cungePrism(n)};
    }

    public static void main(String[] args) {
        EmptyNatives.load(System.getProperty("tovalin.bench.library"));
        System.out.printf(Locale.ROOT, "Small input (%d ordinates), calls per second:%n", SMALL);
        System.out.printf(Locale.ROOT, "%-30s %12s %12s %12s %12s%n", "entry point", "routing",
                "empty", "frame only", "bare JNI");
        for (Calls c : all(SMALL)) {
            String raw = c.raw() == null ? "-"
                    : String.format(Locale.ROOT, "%.0f", callsPerSecond(c.raw()));
            System.out.printf(Locale.ROOT, "%-30s %12.0f %12.0f %12.0f %12s%n", c.name(),
                    callsPerSecond(c.entry()), callsPerSecond(c.empty()),
                    callsPerSecond(c.frame()), raw);
        }
        System.out.printf(Locale.ROOT, "%nLarge input (%d ordinates):%n", LARGE);
        System.out.printf(Locale.ROOT, "%-30s %14s %14s %18s%n", "entry point",
                "routing, us", "frame only, us", "outside routine");
        for (Calls c : all(LARGE)) {
            double entry = 1e6 / callsPerSecond(c.entry());
            double frame = 1e6 / callsPerSecond(c.frame());
            System.out.printf(Locale.ROOT, "%-30s %14.1f %14.1f %17.1f%%%n", c.name(), entry,
                    frame, 100 * frame / entry);
        }
        if (sink == 42) {
            System.out.println();
        }
    }
}
