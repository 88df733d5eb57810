package varn.quorl.demo;

import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Font;
import java.awt.FontMetrics;
import java.awt.Graphics2D;
import java.awt.RenderingHints;
import java.awt.geom.Path2D;
import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;
import javax.imageio.ImageIO;

/**
 * Draws the inflow and every routed outflow into a PNG with Java's own imaging (it runs
 * headless): time in hours on x, flow in m3/s on y, both from 0, with "nice" tick steps
 * (1, 2 or 5 times a power of ten), a legend and a title. Undefined ordinates break a line.
 */
final class HydrographChart {
    static final int WIDTH = 1200;
    static final int HEIGHT = 700;
    static final String FORMAT = "png";

    private static final int LEFT = 90;
    private static final int RIGHT = 30;
    private static final int TOP = 70;
    private static final int BOTTOM = 70;
    private static final int TARGET_TICKS = 10;
    private static final double HEADROOM = 1.05;  // space above the highest peak
    private static final int TICK_LENGTH = 6;
    private static final int LEGEND_LINE = 30;
    private static final int LEGEND_PADDING = 10;
    private static final int LEGEND_ROW = 20;
    private static final float INFLOW_STROKE = 3.0f;
    private static final float OUTFLOW_STROKE = 2.0f;
    private static final int TITLE_SIZE = 20;
    private static final int LABEL_SIZE = 14;
    private static final int TICK_LABEL_SIZE = 12;
    private static final Color GRID = new Color(0xE0E0E0);
    private static final Color[] OUTFLOW_COLOURS = {
        new Color(0x1F77B4), new Color(0xFF7F0E), new Color(0x2CA02C), new Color(0xD62728),
        new Color(0x9467BD), new Color(0x8C564B), new Color(0xE377C2), new Color(0x17BECF)};

    private HydrographChart() {}

    static void write(Path file, String title, Hydrograph inflow,
            List<RoutingMethods.Result> results) throws IOException {
        BufferedImage image = new BufferedImage(WIDTH, HEIGHT, BufferedImage.TYPE_INT_RGB);
        Graphics2D g = image.createGraphics();
        try {
            draw(g, title, inflow, results);
        } finally {
            g.dispose();
        }
        if (!ImageIO.write(image, FORMAT, file.toFile())) {
            throw new IOException("no PNG writer available");
        }
    }

    private static void draw(Graphics2D g, String title, Hydrograph inflow,
            List<RoutingMethods.Result> results) {
        g.setRenderingHint(RenderingHints.KEY_ANTIALIASING, RenderingHints.VALUE_ANTIALIAS_ON);
        g.setRenderingHint(RenderingHints.KEY_TEXT_ANTIALIASING,
                RenderingHints.VALUE_TEXT_ANTIALIAS_ON);
        g.setColor(Color.WHITE);
        g.fillRect(0, 0, WIDTH, HEIGHT);

        int n = inflow.flows().length;
        double xMax = inflow.hoursAt(n - 1);
        double yData = maximum(inflow.flows());
        for (RoutingMethods.Result r : results) {
            yData = Math.max(yData, maximum(r.outflows()));
        }
        double xStep = niceStep(xMax);
        double yStep = niceStep(yData * HEADROOM);
        double yMax = Math.max(yStep, Math.ceil(yData * HEADROOM / yStep) * yStep);
        Frame frame = new Frame(xMax > 0 ? xMax : 1.0, yMax);

        axes(g, frame, xStep, yStep);
        g.setColor(Color.BLACK);
        g.setFont(new Font(Font.SANS_SERIF, Font.BOLD, TITLE_SIZE));
        centred(g, title, WIDTH / 2, TOP / 2 + TITLE_SIZE / 2);

        g.setStroke(new BasicStroke(INFLOW_STROKE));
        g.setColor(Color.BLACK);
        g.draw(series(frame, inflow, inflow.flows()));
        g.setStroke(new BasicStroke(OUTFLOW_STROKE));
        for (int i = 0; i < results.size(); i++) {
            g.setColor(OUTFLOW_COLOURS[i % OUTFLOW_COLOURS.length]);
            g.draw(series(frame, inflow, results.get(i).outflows()));
        }
        legend(g, results);
    }

    /** Plot area in pixels and the data range it shows. */
    private record Frame(double xMax, double yMax) {
        double px(double hours) {
            return LEFT + hours / xMax * (WIDTH - LEFT - RIGHT);
        }

        double py(double flow) {
            return HEIGHT - BOTTOM - flow / yMax * (HEIGHT - TOP - BOTTOM);
        }
    }

    private static void axes(Graphics2D g, Frame f, double xStep, double yStep) {
        g.setFont(new Font(Font.SANS_SERIF, Font.PLAIN, TICK_LABEL_SIZE));
        FontMetrics m = g.getFontMetrics();
        int x0 = (int) f.px(0);
        int x1 = (int) f.px(f.xMax());
        int y0 = (int) f.py(0);
        int y1 = (int) f.py(f.yMax());
        for (int i = 0; i * xStep <= f.xMax() + xStep * 1e-9; i++) {
            int x = (int) Math.round(f.px(i * xStep));
            g.setColor(GRID);
            g.drawLine(x, y0, x, y1);
            g.setColor(Color.BLACK);
            g.drawLine(x, y0, x, y0 + TICK_LENGTH);
            centred(g, label(i * xStep), x, y0 + TICK_LENGTH + m.getAscent() + 2);
        }
        for (int i = 0; i * yStep <= f.yMax() + yStep * 1e-9; i++) {
            int y = (int) Math.round(f.py(i * yStep));
            g.setColor(GRID);
            g.drawLine(x0, y, x1, y);
            g.setColor(Color.BLACK);
            g.drawLine(x0 - TICK_LENGTH, y, x0, y);
            String text = label(i * yStep);
            g.drawString(text, x0 - TICK_LENGTH - 4 - m.stringWidth(text),
                    y + m.getAscent() / 2 - 1);
        }
        g.setColor(Color.BLACK);
        g.drawRect(x0, y1, x1 - x0, y0 - y1);

        g.setFont(new Font(Font.SANS_SERIF, Font.PLAIN, LABEL_SIZE));
        centred(g, "Time since start of the hydrograph (h)", (x0 + x1) / 2, HEIGHT - BOTTOM / 4);
        Graphics2D rotated = (Graphics2D) g.create();
        try {
            rotated.rotate(-Math.PI / 2);
            centred(rotated, "Flow (m\u00b3/s)", -(y0 + y1) / 2, LEFT / 4 + LABEL_SIZE / 2);
        } finally {
            rotated.dispose();
        }
    }

    private static void legend(Graphics2D g, List<RoutingMethods.Result> results) {
        g.setFont(new Font(Font.SANS_SERIF, Font.PLAIN, LABEL_SIZE));
        FontMetrics m = g.getFontMetrics();
        int textWidth = m.stringWidth("Inflow");
        for (RoutingMethods.Result r : results) {
            textWidth = Math.max(textWidth, m.stringWidth(r.method()));
        }
        int rows = results.size() + 1;
        int boxWidth = LEGEND_PADDING * 3 + LEGEND_LINE + textWidth;
        int boxHeight = LEGEND_PADDING * 2 + rows * LEGEND_ROW;
        int left = WIDTH - RIGHT - LEGEND_PADDING - boxWidth;
        int top = TOP + LEGEND_PADDING;
        g.setColor(Color.WHITE);
        g.fillRect(left, top, boxWidth, boxHeight);
        g.setColor(Color.GRAY);
        g.setStroke(new BasicStroke(1.0f));
        g.drawRect(left, top, boxWidth, boxHeight);
        for (int row = 0; row < rows; row++) {
            int y = top + LEGEND_PADDING + row * LEGEND_ROW + LEGEND_ROW / 2;
            Color colour = row == 0 ? Color.BLACK
                    : OUTFLOW_COLOURS[(row - 1) % OUTFLOW_COLOURS.length];
            g.setColor(colour);
            g.setStroke(new BasicStroke(row == 0 ? INFLOW_STROKE : OUTFLOW_STROKE));
            g.drawLine(left + LEGEND_PADDING, y, left + LEGEND_PADDING + LEGEND_LINE, y);
            g.setColor(Color.BLACK);
            String name = row == 0 ? "Inflow" : results.get(row - 1).method();
            g.drawString(name, left + LEGEND_PADDING * 2 + LEGEND_LINE, y + m.getAscent() / 2 - 1);
        }
    }

    private static Path2D series(Frame f, Hydrograph inflow, double[] flows) {
        Path2D.Double path = new Path2D.Double();
        boolean drawing = false;
        for (int i = 0; i < flows.length; i++) {
            if (HydrographFigures.isUndefined(flows[i]) || Double.isInfinite(flows[i])) {
                drawing = false;
                continue;
            }
            double x = f.px(inflow.hoursAt(i));
            double y = f.py(flows[i]);
            if (drawing) {
                path.lineTo(x, y);
            } else {
                path.moveTo(x, y);
                drawing = true;
            }
        }
        return path;
    }

    private static double maximum(double[] flows) {
        double max = 0.0;
        for (double q : flows) {
            if (!HydrographFigures.isUndefined(q) && Double.isFinite(q)) {
                max = Math.max(max, q);
            }
        }
        return max;
    }

    /** A tick step of 1, 2 or 5 times a power of ten giving about TARGET_TICKS ticks. */
    static double niceStep(double range) {
        if (!(range > 0) || Double.isInfinite(range)) {
            return 1.0;
        }
        double raw = range / TARGET_TICKS;
        double power = Math.pow(10.0, Math.floor(Math.log10(raw)));
        double fraction = raw / power;
        double nice = fraction <= 1.0 ? 1.0 : fraction <= 2.0 ? 2.0 : fraction <= 5.0 ? 5.0 : 10.0;
        return nice * power;
    }

    private static String label(double value) {
        return value == Math.rint(value) ? String.format(Locale.ROOT, "%.0f", value)
                : String.format(Locale.ROOT, "%.2f", value).replaceAll("0+$", "");
    }

    private static void centred(Graphics2D g, String text, int x, int y) {
        g.drawString(text, x - g.getFontMetrics().stringWidth(text) / 2, y);
    }
}
