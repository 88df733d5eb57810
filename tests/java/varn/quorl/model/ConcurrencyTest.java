package varn.quorl.model;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

/**
 * All five entry points called from sixteen host threads at once, thousands of mixed calls:
 * every call must give, bit for bit, the text and the arrays of the same call made alone.
 */
class ConcurrencyTest {
    private static final int THREADS = 16;
    private static final int CALLS_PER_THREAD = 250;
    private static final double[] SCALES = {0.5, 1.0, 1.5, 2.5, 4.0};
    private static final long TIMEOUT_SECONDS = 300;

    /** One call made alone: which entry point, its flow scale and what it gave back. */
    record Reference(EntryPoints.EntryPoint entryPoint, double scale, String text,
            Object[] arrays) {}

    private static Reference alone(EntryPoints.EntryPoint entryPoint, double scale) {
        Object[] arguments = entryPoint.arguments(scale);
        String text = entryPoint.call(arguments);
        return new Reference(entryPoint, scale, text, EntryPoints.snapshot(arguments));
    }

    /** The first difference between a call and its reference, or null when there is none. */
    private static String difference(Reference reference, String text, Object[] arguments) {
        if (!reference.text().equals(text)) {
            return "text \"" + text + "\" instead of \"" + reference.text() + "\"";
        }
        for (int i = 0; i < arguments.length; i++) {
            if (!EntryPoints.sameBits(reference.arrays()[i], arguments[i])) {
                return reference.entryPoint().parameters.get(i).name() + " differs";
            }
        }
        return null;
    }

    @Test
    void sixteenThreadsGetTheResultsOfCallsMadeAlone() throws Exception {
        List<Reference> references = new ArrayList<>();
        for (EntryPoints.EntryPoint entryPoint : EntryPoints.ALL) {
            for (double scale : SCALES) {
                references.add(alone(entryPoint, scale));
            }
        }
        // The references are real routings: each outflow hydrograph starts with flows.
        for (Reference r : references) {
            double[] outflows = (double[]) r.arrays()[r.entryPoint().indexOf("outflows")];
            assertTrue(outflows[1] > 0, r.entryPoint() + " " + r.scale());
        }

        AtomicInteger calls = new AtomicInteger();
        ConcurrentLinkedQueue<String> differences = new ConcurrentLinkedQueue<>();
        CountDownLatch start = new CountDownLatch(THREADS);
        ExecutorService pool = Executors.newFixedThreadPool(THREADS);
        try {
            List<Future<?>> done = new ArrayList<>();
            for (int t = 0; t < THREADS; t++) {
                final int thread = t;
                done.add(pool.submit(() -> {
                    start.countDown();
                    try {
                        start.await();
                    } catch (InterruptedException e) {
                        Thread.currentThread().interrupt();
                        return;
                    }
                    for (int c = 0; c < CALLS_PER_THREAD; c++) {
                        // Each thread walks the calls in its own order, so different calls overlap.
                        Reference r = references.get(
                                (thread * 7 + c * (thread + 1)) % references.size());
                        Object[] arguments = r.entryPoint().arguments(r.scale());
                        String text = r.entryPoint().call(arguments);
                        calls.incrementAndGet();
                        String d = difference(r, text, arguments);
                        if (d != null) {
                            differences.add(r.entryPoint() + " x" + r.scale() + ": " + d);
                        }
                    }
                }));
            }
            for (Future<?> f : done) {
                f.get(TIMEOUT_SECONDS, TimeUnit.SECONDS);
            }
        } finally {
            pool.shutdownNow();
        }
        assertEquals(THREADS * CALLS_PER_THREAD, calls.get());
        assertTrue(differences.isEmpty(),
                differences.size() + " calls differed; first: " + differences.peek());
    }
}
