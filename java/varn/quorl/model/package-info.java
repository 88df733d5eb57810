/**
 * Hydrologic channel routing through one reach per call, computed by the native library
 * {@code tovalin}. Each of the five classes declares one static native method:
 * {@link varn.quorl.model.MuskingumRouting}, {@link varn.quorl.model.PulsChannelRouting},
 * {@link varn.quorl.model.PulsChannelRoutingWithLosses},
 * {@link varn.quorl.model.MuskingumCunge8ptRouting} and
 * {@link varn.quorl.model.MuskingumCungePrismRouting}.
 *
 * <h2>Loading the library</h2>
 * The first use of any of the classes loads the library: from the file named by the system
 * property {@code tovalin.library} when it is set (for example
 * {@code -Dtovalin.library=/usr/local/lib/libtovalin.so}), otherwise as {@code tovalin} from
 * {@code java.library.path} (for example {@code -Djava.library.path=/usr/local/lib}). A library
 * that cannot be found ends the class initialisation with an {@link UnsatisfiedLinkError}.
 *
 * <h2>Conventions of every method</h2>
 * <ul>
 * <li><b>Units.</b> Flows m³/s, lengths and elevations m, areas m², storages and volumes m³,
 *     Manning's n s/m^(1/3). Hydrograph intervals are whole minutes; Muskingum K is in hours;
 *     the Muskingum-Cunge computation interval comes back in seconds, its time of peak in
 *     minutes.</li>
 * <li><b>Hydrographs.</b> {@code inflows[0]} is the flow at time 0 and {@code inflows[i]} the
 *     flow at {@code i × intervalMinutes}; {@code outflows} has the same ordinates.</li>
 * <li><b>Single values</b> (K, x, a reach length, a slope, every scalar result) travel in
 *     element 0 of a {@code double[]} of at least one element.</li>
 * <li><b>Lengths.</b> Every array must hold at least as many elements as its count
 *     ({@code ordinateCount}, {@code stepCount}, {@code pairCount}, {@code initialFlowCount})
 *     or fixed size requires; longer arrays are fine and their extra elements are left
 *     alone. Arrays marked <em>read</em> come back unchanged; arrays marked <em>written</em>
 *     receive results (whatever they held before is not read).</li>
 * <li><b>The message width rule.</b> The message is a {@code byte[]} whose first W bytes are
 *     the routine's message field: W = 80 for
 *     {@link varn.quorl.model.MuskingumRouting#jniMuskingumRouting jniMuskingumRouting} and
 *     {@link varn.quorl.model.MuskingumCunge8ptRouting#jniMuskingumCunge8ptRouting
 *     jniMuskingumCunge8ptRouting} (the array needs at least 81 elements), W =
 *     {@code message.length - 1} for the other three (at least 1 element). Pass a zero-filled
 *     array: a routine that reports nothing leaves the field as it was passed, and the method
 *     returns the field up to its first zero byte, so {@code ""} means that nothing was
 *     reported. A routine that reports something writes the field blank-padded to W; strip
 *     the returned text. Several lines are separated by a line feed.</li>
 * <li><b>{@code status} and the trailing {@code int} parameters</b> are not read; any value
 *     will do.</li>
 * <li><b>The undefined value</b> marks a result that could not be computed: the double with
 *     bits {@code 0xC7D2CED320000000} (about −1.0e38). A value that is not a number counts as
 *     undefined too, so test for both:
 *     <pre>{@code
 * static final double UNDEFINED = Double.longBitsToDouble(0xC7D2CED320000000L);
 * static boolean isUndefined(double v) { return v == UNDEFINED || Double.isNaN(v); }
 * }</pre>
 *     An undefined or NaN input ordinate makes the outflows undefined from that ordinate
 *     on.</li>
 * </ul>
 *
 * <h2>How a failure shows</h2>
 * No method throws for bad data: a failure shows as a returned text that names it, with the
 * outputs the routine could not compute set to the undefined value (each class says which).
 * Warnings (unstable coefficients, a search that did not converge, a conduit running full)
 * return their text with every result computed. Three kinds of text come from the native
 * boundary itself:
 * <ul>
 * <li>{@code "Invalid arguments: <name> is null"},
 *     {@code "Invalid arguments: <name> has <n> elements, fewer than the <m> required"} or
 *     {@code "Invalid arguments: <name> is negative (<n>)"}: the call was refused before any
 *     array was touched and no host array changed;</li>
 * <li>a text beginning {@code "Internal error:"} that names the method: the library failed
 *     inside; every output holds the undefined value;</li>
 * <li>{@code null} with an {@link OutOfMemoryError} thrown: the virtual machine could not
 *     supply an array's elements.</li>
 * </ul>
 *
 * <p>The library keeps no state between calls and may be called from many threads at once,
 * provided no two concurrent calls write the same array.
 */
package varn.quorl.model;
