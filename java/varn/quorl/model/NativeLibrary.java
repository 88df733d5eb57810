package varn.quorl.model;

/**
 * Loads the routing library once per class loader. The system property
 * {@code tovalin.library} names the library file to load; without it the library is found
 * as "tovalin" on {@code java.library.path}.
 */
final class NativeLibrary {
    private NativeLibrary() {}

    private static boolean loaded;

    static synchronized void load() {
        if (loaded) {
            return;
        }
        String path = System.getProperty("tovalin.library");
        if (path != null && !path.isEmpty()) {
            System.load(new java.io.File(path).getAbsolutePath());
        } else {
            System.loadLibrary("tovalin");
        }
        loaded = true;
    }
}
