package varn.quorl.demo;

/**
 * A problem with what the user gave the demo (a missing file, a value that is not a number,
 * an interval that is not positive). Its message is one line, printed as it is, and the
 * demo then exits with a non-zero status instead of a stack trace.
 */
final class DemoInputError extends Exception {
    private static final long serialVersionUID = 1L;

    DemoInputError(String message) {
        super(message);
    }
}
