#include "plot/graphwidget.h"

#include "model/function.h"
#include "model/numbertext.h"
#include "plot/crossings.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtTest>

#include <cfloat>
#include <cmath>

using Points = QList<QPoint>;
using Bounds = QList<float>; // xMin, xMax, yMin, yMax

namespace {

const QRgb grid = qRgb(220, 220, 220);
const QRgb axis = qRgb(140, 140, 140);
const QRgb red = qRgb(255, 0, 0);
const QRgb black = qRgb(0, 0, 0);

// The plot area as the main window builds it, 232 x 216, on a screen of the given device-pixel
// ratio: at the standard bounds and drawn once, or at the given bounds and not drawn yet.
struct Plot : GraphWidget
{
    QStringList log; // what reaches the bound fields, inside "(" and ")" while panning
    qreal ratio;

    explicit Plot(const QString &bounds = QString(), qreal ratio = 1)
        : GraphWidget(nullptr, "graph1")
        , ratio(ratio)
    {
        setGeometry(QRect(1, 1, 232, 216));
        const QStringList b = bounds.split(' ');
        if (bounds.isEmpty()) {
            drawGraph();
        } else {
            change_x_min(b[0]);
            change_x_max(b[1]);
            change_y_min(b[2]);
            change_y_max(b[3]);
        }
        connect(this, &GraphWidget::panning, this, [this](bool on) { log << (on ? "(" : ")"); });
        for (auto field : {&GraphWidget::x_min_changed, &GraphWidget::x_max_changed,
                           &GraphWidget::y_min_changed, &GraphWidget::y_max_changed})
            connect(this, field, this, [this](const QString &t) { log << t; });
    }
    // "x:text" or "y:text", hidden when it starts with '!'.
    Function *add(const QString &description, QColor color = Qt::blue)
    {
        const bool hidden = description.startsWith('!');
        const QString s = description.mid(hidden ? 1 : 0);
        Function *f = addFunction(getNumberOfFunctions(), s.mid(2), s[0].toLatin1(), color);
        f->setEnabled(!hidden);
        return f;
    }
    void mouse(QEvent::Type type, QPoint p)
    {
        QMouseEvent e(type, QPointF(p), mapToGlobal(QPointF(p)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(this, &e);
    }
    void drag(QPoint press, const Points &moves, QPoint release)
    {
        mouse(QEvent::MouseButtonPress, press);
        for (QPoint m : moves)
            mouse(QEvent::MouseMove, m);
        mouse(QEvent::MouseButtonRelease, release);
    }
    void tap(QPoint p) { drag(p, {}, p); }
    int metric(PaintDeviceMetric m) const override
    {
        return m == PdmDevicePixelRatioScaled ? int(ratio * devicePixelRatioFScale())
                                              : GraphWidget::metric(m);
    }
};

int count(const QImage &img, QRect area, QRgb c)
{
    int n = 0;
    area &= img.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == c;
    return n;
}

// img with texts drawn as the finder draws them: unsmoothed, baselines 10 pixels apart.
QImage withTexts(QImage img, const QFont &font, QRgb color, QPoint at, const QStringList &texts)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setFont(font);
    p.setPen(QColor(color));
    for (int i = 0; i < texts.size(); ++i)
        p.drawText(at + QPoint(0, 10 * i), texts[i]);
    return img;
}

} // namespace

class tst_GraphWidget : public QObject
{
    Q_OBJECT

private slots:
    // The first paint draws the grid as a plain loop over running sums puts it (the guard of
    // the per-pixel grid), with the axes over it.
    void picture_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<QString>("spacing"); // empty: the grid switched off
        QTest::addColumn<QPoint>("axes");     // column of the y axis, row of the x axis; -1: off
        QTest::addColumn<qreal>("ratio");     // device pixels to a pixel: drawn 232 x 216 times it
        // clang-format off
        QTest::newRow("standard") << "-10 10 -10 10" << "1" << QPoint(116, 108) << 1.0;
        QTest::newRow("gridOff") << "-10 10 -10 10" << "" << QPoint(116, 108) << 1.0;
        QTest::newRow("yAxisOffPlot") << "5 15 -10 10" << "1" << QPoint(-1, 108) << 1.0;
        QTest::newRow("finerThanPixel") << "-160 160 -160 160" << "1" << QPoint(116, 108) << 1.0;
        QTest::newRow("tenths") << "-10 10 -7 3" << "0.1" << QPoint(116, 64) << 1.0;
        QTest::newRow("farFromZero") << "1000000 1000010 -0.5 0.25" << "0.1" << QPoint(-1, 72) << 1.0;
        QTest::newRow("reversed") << "7.5 -3 2 -2" << "0.3" << QPoint(-1, -1) << 1.0;
        // 1.5 units in the last place above 1: every addition there is a tie.
        QTest::newRow("ties") << "1 1.0000276 0.9999 1.0001" << "1.78813934326171875E-7" << QPoint(-1, -1) << 1.0;
        // Every line one device pixel wide, where a picture of 232 x 216 enlarged has 1 and 2.
        QTest::newRow("standardAtRatio2") << "-10 10 -10 10" << "1" << QPoint(232, 216) << 2.0;
        QTest::newRow("standardAtRatio1.5") << "-10 10 -10 10" << "1" << QPoint(174, 162) << 1.5;
        QTest::newRow("tenthsAtRatio1.25") << "-10 10 -7 3" << "0.1" << QPoint(145, 81) << 1.25;
        // clang-format on
    }

    void picture()
    {
        QFETCH(QString, bounds);
        QFETCH(QString, spacing);
        QFETCH(QPoint, axes);
        QFETCH(qreal, ratio);
        Plot plot(bounds, ratio);
        if (spacing.isEmpty()) {
            plot.toggle_grid();
        } else {
            plot.change_grid_x(spacing);
            plot.change_grid_y(spacing);
        }
        plot.grab();
        QCOMPARE(plot.getRedrawCount(), 1);

        const int w = int(232 * ratio), h = int(216 * ratio);
        const float x0 = plot.getXMin(), x1 = plot.getXMax(), y0 = plot.getYMin(),
                    y1 = plot.getYMax();
        const float s = spacing.isEmpty() ? 0 : plot.getGridX(), ux = std::fabs(x1 - x0) / w,
                    uy = std::fabs(y1 - y0) / h;
        QImage expected(w, h, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter p(&expected);
        p.setPen(QPen(QColor(grid), 0));
        for (float sign : {1.0f, -1.0f}) {
            for (float g = 0; s > 0 && sign * g <= (sign > 0 ? x1 : -x0); g += sign * s)
                p.drawLine(int((g - x0) / ux), 0, int((g - x0) / ux), h);
            for (float g = 0; s > 0 && sign * g <= (sign > 0 ? y1 : -y0); g += sign * s)
                p.drawLine(0, int(h - (g - y0) / uy), w, int(h - (g - y0) / uy));
        }
        p.setPen(QPen(QColor(axis), 0));
        p.drawLine(axes.x(), 0, axes.x(), h);
        p.drawLine(0, axes.y(), w, axes.y());
        p.end();
        QCOMPARE(plot.picture(), expected);
        // On a screen of another ratio it is drawn anew for that screen.
        plot.ratio = ratio == 1 ? 2 : 1;
        plot.grab();
        QCOMPARE(plot.picture().size(), QSize(232, 216) * plot.ratio);
    }

    void boundText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("expressionAtXOne") << "2*pi()*x" << 6.2831855f << "6.28319";
        QTest::newRow("barePi") << "-2*pi" << -6.2831855f << "-6.28319";
        QTest::newRow("exponent") << "1E-7" << 1e-7f << "1e-07";
        // Ties round to even as printf does, where Qt's own formatting rounds away.
        QTest::newRow("tieToEven") << "1.140625" << 1.140625f << "1.14062";
        QTest::newRow("negativeZero") << "-0" << -0.0f << "-0";
        // Read back as written: a small e is an exponent, but only after a number.
        QTest::newRow("smallExponent") << "-5e-1" << -0.5f << "-0.5";
        QTest::newRow("smallExponentPlus") << "2*1e+06" << 2e6f << "2e+06";
        QTest::newRow("letterE") << "2*e-1" << 0.0f << "0";
        // Above FLT_MAX but nearer to it than to the next power of two.
        QTest::newRow("roundsDownToFloatMax") << "3.40282356E38" << FLT_MAX << "3.40282e+38";
        QTest::newRow("roundsUpToInfinity") << "3.4028236E38" << INFINITY << "inf";
        // The sign of a NaN (0/0 is -nan here), which Qt's own formatting drops.
        QTest::newRow("negativeNan") << "0/0" << -NAN << "-nan";
    }

    void boundText()
    {
        QFETCH(QString, typed);
        Plot plot;
        plot.change_x_min(typed);
        QTEST(plot.getXMin(), "value");
        plot.showBounds();
        QTEST(plot.log.value(1), "shown");
        plot.zoom_std_slot();
        QCOMPARE(plot.log.mid(6), QStringList({"(", "-10", "10", "-10", "10", ")"}));
    }

    // Each at steps 1 and 4.
    void curve_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<Points>("on"); // red pixels; none anywhere when empty
        QTest::addColumn<Points>("off");
        QTest::addColumn<QRectF>("defined"); // x, y, width, height in plot units: no red beyond
        QTest::addColumn<qreal>("ratio");    // on/off in device pixels
        QTest::addColumn<Points>("ends");    // edges of the domain: red within a pixel
        // y = 5 maps to row 216 - 15 / (20/216) = 54.
        const QRectF any(-20, -20, 40, 40);
        // clang-format off
        QTest::newRow("constantOfX") << "x:5" << Points{{0, 54}, {117, 54}, {231, 54}} << Points{{117, 53}, {117, 55}} << any << 1.0 << Points{};
        QTest::newRow("diagonal") << "x:x" << Points{{116, 108}, {56, 163}} << Points{{58, 54}} << any << 1.0 << Points{};
        QTest::newRow("parabolaOfY") << "y:y^2/10" << Points{{116, 108}, {144, 54}} << Points{{105, 0}} << any << 1.0 << Points{};
        QTest::newRow("failsToCompile") << "x:2x" << Points{{0, 108}, {231, 108}} << Points{} << any << 1.0 << Points{};
        // Where a function is not defined nothing is drawn: no wall from the edge of its domain,
        // and the curve runs on to that edge (ln(x) to the bottom, its value at x = 0 is -inf).
        QTest::newRow("semicircle") << "x:sqrt(25-x^2)" << Points{{116, 54}} << Points{} << QRectF(-5, 0, 10, 5) << 1.0 << Points{{58, 108}, {174, 108}};
        QTest::newRow("arcsine") << "x:asin(x/3)*3" << Points{{116, 108}} << Points{} << QRectF(-3, -4.8, 6, 9.6) << 1.0 << Points{{81, 158}, {150, 57}};
        QTest::newRow("logarithm") << "x:ln(x)" << Points{{128, 107}} << Points{} << QRectF(0, -20, 10, 22.31) << 1.0 << Points{{116, 215}};
        QTest::newRow("rootOfX") << "x:sqrt(x)*2" << Points{{128, 86}} << Points{} << QRectF(0, 0, 10, 6.33) << 1.0 << Points{{116, 108}};
        QTest::newRow("rootOfY") << "y:sqrt(y)" << Points{{127, 97}} << Points{} << QRectF(0, 0, 10, 10) << 1.0 << Points{{116, 108}};
        // Edges between two samples: y = -0.05 lies between rows 108 and 109; x = -0.04 between
        // columns 115 and 116, where the search goes on while the curve still moves.
        QTest::newRow("rootOfYBetweenRows") << "y:sqrt(y+0.05)" << Points{{127, 97}} << Points{} << QRectF(0, -0.05, 10, 10.05) << 1.0 << Points{{116, 108}};
        QTest::newRow("logarithmBetweenColumns") << "x:ln(x+0.04)" << Points{{128, 107}} << Points{} << QRectF(-0.04, -20, 10.04, 22.31) << 1.0 << Points{{115, 215}};
        // Defined at 0 alone: a point at most, never a line.
        QTest::newRow("pointDomain") << "x:sqrt(x)*sqrt(-x)" << Points{{116, 108}} << Points{} << QRectF(0, 0, 0, 0) << 1.0 << Points{};
        QTest::newRow("hidden") << "!x:x" << Points{} << Points{} << any << 1.0 << Points{};
        QTest::newRow("emptyText") << "x:" << Points{} << Points{} << any << 1.0 << Points{};
        // One device pixel wide, at the device pixel of the value: y = 5 at row 108 of 432,
        // x = 5 at column 261 of 348.
        QTest::newRow("constantOfXAtRatio2") << "x:5" << Points{{0, 108}, {235, 108}, {463, 108}} << Points{{235, 107}, {235, 109}} << any << 2.0 << Points{};
        QTest::newRow("constantOfYAtRatio1.5") << "y:5" << Points{{261, 0}, {261, 160}, {261, 323}} << Points{{260, 160}, {262, 160}} << any << 1.5 << Points{};
        QTest::newRow("semicircleAtRatio2") << "x:sqrt(25-x^2)" << Points{{232, 108}} << Points{} << QRectF(-5, 0, 10, 5) << 2.0 << Points{{116, 216}, {348, 216}};
        // clang-format on
    }

    void curve()
    {
        QFETCH(QString, function);
        QFETCH(Points, on);
        QFETCH(Points, off);
        QFETCH(QRectF, defined);
        QFETCH(qreal, ratio);
        QFETCH(Points, ends);
        for (int step : {1, 4}) {
            Plot plot(QString(), ratio);
            plot.setXStep(step);
            plot.setYStep(step);
            plot.add(function, Qt::red);
            plot.drawGraph();
            QCOMPARE(plot.getActiveFunction(), nullptr);
            // Read out as drawn: one that does not compile counts, an empty or hidden one not.
            QCOMPARE(plot.accessibleDescription(),
                     QString("x from -10 to 10, y from -10 to 10; %1 drawn")
                         .arg(on.isEmpty() ? "0 functions" : "1 function"));
            const QImage &img = plot.picture();
            for (QPoint p : on + off)
                QVERIFY2((img.pixel(p) == red) == on.contains(p),
                         qPrintable(QString("step %1: %2,%3").arg(step).arg(p.x()).arg(p.y())));
            if (on.isEmpty())
                QCOMPARE(count(img, img.rect(), red), 0);
            for (QPoint p : ends)
                QVERIFY2(count(img, QRect(p - QPoint(1, 1), QSize(3, 3)), red) > 0,
                         qPrintable(QString("step %1: end %2,%3").arg(step).arg(p.x()).arg(p.y())));
            // Pixels are 20/232 and 20/216 wide: one of them counts as on the edge.
            const QRectF edge = defined.adjusted(-0.1, -0.1, 0.1, 0.1);
            const GraphWidget::Mapping m = plot.pictureMapping();
            for (int r = 0; r < img.height(); ++r)
                for (int c = 0; c < img.width(); ++c)
                    if (img.pixel(c, r) == red && !edge.contains(m.xAt(c), m.yAt(r)))
                        QFAIL(qPrintable(QString("%1,%2 beyond, step %3").arg(c).arg(r).arg(step)));
        }
    }

    // At step 1 the jump of tan(x) at pi/2 is dotted, at larger steps a gap.
    void asymptote()
    {
        for (int step : {1, 2}) {
            Plot plot("-10 10 -1 1");
            plot.setXStep(step);
            plot.add("x:tan(x)", Qt::red);
            plot.drawGraph();
            // x = pi/2 lies between columns 134 and 135: count rows with a red pixel there.
            int rowsHit = 0;
            for (int y = 30; y < 180; ++y)
                rowsHit += count(plot.picture(), QRect(133, y, 4, 1), red) > 0;
            QVERIFY2(step == 1 ? rowsHit > 150 / 4 && rowsHit < 150 * 3 / 4 : rowsHit == 0,
                     qPrintable(QString::number(rowsHit)));
        }
    }

    // Nothing here may hang, crash or trip the sanitizers.
    void hostileSettings_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<QString>("spacing");
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("gridColumns"); // along row 50; -1: not checked
        // clang-format off
        QTest::newRow("spacingZero") << "-10 10 -10 10" << "0" << "x" << 0;
        // Finer than a pixel: every column is a line, except under the axis and the curves.
        QTest::newRow("spacingTiny") << "-10 10 -10 10" << "1E-30" << "x" << 230;
        QTest::newRow("boundsHuge") << "-1E30 1E30 -1E30 1E30" << "1" << "x^3" << 231;
        QTest::newRow("boundsEqual") << "5 5 5 5" << "1" << "x" << 0;
        QTest::newRow("boundsReversed") << "10 -10 10 -10" << "1" << "tan(x)" << 0;
        QTest::newRow("boundsNotFinite") << "-1/0 1/0 0/0 1" << "1" << "x" << 0;
        QTest::newRow("notFinite") << "-10 10 -10 10" << "1" << "1/(x-x)+sqrt(x)" << -1;
        // clang-format on
    }

    void hostileSettings()
    {
        QFETCH(QString, bounds);
        QFETCH(QString, spacing);
        QFETCH(QString, function);
        QFETCH(int, gridColumns);
        for (int step : {1, 4, 0}) {
            Plot plot(bounds);
            plot.change_grid_x(spacing);
            plot.change_grid_y(spacing);
            plot.setXStep(step);
            plot.setYStep(step);
            plot.add("x:" + function);
            plot.add("y:" + QString(function).replace('x', 'y'));
            plot.drawGraph();
            QCOMPARE(plot.picture().size(), QSize(232, 216));
            if (gridColumns >= 0)
                QCOMPARE(count(plot.picture(), QRect(0, 50, 232, 1), grid), gridColumns);
        }
    }

    // A slider position that would make two bounds equal or not finite is refused: the plot
    // could never zoom back from there.
    void zoomStep_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<int>("value");
        QTest::addColumn<Bounds>("zoomed"); // empty: refused
        // clang-format off
        QTest::newRow("in") << "-10 10 -10 10" << 75 << Bounds{-5, 5, -5, 5};
        QTest::newRow("out") << "-10 10 -10 10" << 25 << Bounds{-15, 15, -15, 15};
        QTest::newRow("allBoundsFive") << "4.9999995 5.0000005 4.9999995 5.0000005" << 99 << Bounds{};
        QTest::newRow("yBoundsMeet") << "-10 10 -5 5" << 75 << Bounds{};
        QTest::newRow("toInfinity") << "-2E38 2E38 -1 1" << 10 << Bounds{};
        // clang-format on
    }

    void zoomStep()
    {
        QFETCH(QString, bounds);
        QFETCH(int, value);
        QFETCH(Bounds, zoomed);
        Plot plot(bounds);
        plot.drawGraph();
        plot.log.clear();
        const Bounds before{plot.getXMin(), plot.getXMax(), plot.getYMin(), plot.getYMax()};
        plot.change_zoom(value);
        const Bounds got{plot.getXMin(), plot.getXMax(), plot.getYMin(), plot.getYMax()};
        QCOMPARE(got, zoomed.isEmpty() ? before : zoomed);
        QCOMPARE(plot.zoomOffset == 0, zoomed.isEmpty());
        QCOMPARE(plot.log, QStringList());
    }

    // Whatever changes a function's text or existence, every function that refers
    // to it, directly or through others, compiles what the texts say.
    void references_data()
    {
        QTest::addColumn<QString>("changes"); // "edit ID TEXT", "delete INDEX", "remove ID", ...
        QTest::addColumn<QString>("values");  // id=value at x = 2 of each function, afterwards
        // Before, at selector indexes 0 to 3: 0 = x, 1 = f(0)*3, 2 = f(1)+1, 3 = f(4) (none yet:
        // 0).
        // clang-format off
        QTest::newRow("nothing") << "" << "0=2 1=6 2=7 3=0";
        QTest::newRow("editThroughOthers") << "edit 0 x^3" << "0=8 1=24 2=25 3=0";
        QTest::newRow("delete") << "delete 0" << "1=0 2=0 3=0";
        QTest::newRow("add") << "add 4 x+1" << "0=2 1=6 2=7 3=3 4=3";
        QTest::newRow("cycleStaysStopped") << "edit 0 f(2)" << "0=0 1=0 2=0 3=0";
        // Records made while the deleted first one led still find the others.
        QTest::newRow("afterTheFirstDeleted") << "delete 9, delete 1, delete 0, add 5 x+3, edit 2 f(5)*2" << "2=10 3=0 5=5";
        // A record still in the list is unlinked before it is freed.
        QTest::newRow("remove") << "remove 2" << "0=2 1=6 3=0";
        QTest::newRow("allDeletedAndOneMore") << "delete 3, delete 0, delete 1, delete 2, delete 0" << "";
        // clang-format on
    }

    void references()
    {
        Plot plot;
        for (const char *text : {"x", "f(0)*3", "f(1)+1", "f(4)"})
            plot.add(QStringLiteral("x:") + text)->setFBoxIndex(plot.getNumberOfFunctions() - 1);
        QFETCH(QString, changes);
        for (const QString &change : changes.split(", ", Qt::SkipEmptyParts)) {
            const int id = change.section(' ', 1, 1).toInt();
            if (change.startsWith("edit"))
                plot.setFunctionString(id, change.section(' ', 2));
            else if (change.startsWith("delete"))
                plot.deleteFunctionFBoxIndex(id);
            else if (change.startsWith("add"))
                plot.addFunction(id, change.section(' ', 2), 'x', Qt::red);
            else if (plot.setActiveFunction(id))
                plot.removeFunction(plot.getActiveFunction());
        }
        QStringList values;
        const Function *prev = nullptr;
        for (const Function *f = plot.getFunctions(); f; prev = f, f = f->getNextFunction()) {
            QCOMPARE(f->getPrevFunction(), prev); // linked both ways
            values << QStringLiteral("%1=%2").arg(f->getId()).arg(f->evaluate(2));
        }
        QTEST(values.join(' '), "values");
    }

    void drag_data()
    {
        QTest::addColumn<bool>("box");   // a zoom box, else a pan
        QTest::addColumn<bool>("armed"); // the finder armed as well
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<Points>("moves"); // released on the last one
        QTest::addColumn<int>("redraws");  // armed: each write-back redraws too
        QTest::addColumn<Bounds>("bounds");
        QTest::addColumn<QString>("xMinText"); // empty: the fields are not written
        QTest::addColumn<qreal>("ratio");
        // Every moving pan ends 10 columns right and 10 rows down of where panning began.
        const Bounds panned{-10.862069f, 9.137931f, -9.074074f, 10.925926f},
            standard{-10, 10, -10, 10};
        // Plot x of columns 51 and 150, plot y of rows 140 and 41.
        const Bounds box{-5.603448f, 2.931034f, -2.962963f, 6.203704f};
        const QPoint p(100, 100), corner(50, 40);
        // clang-format off
        QTest::newRow("panOvershootAndBack") << false << false << p << Points{{60, 150}, {130, 90}, {110, 110}} << 3 << panned << "-10.8621" << 1.0;
        QTest::newRow("panNoMove") << false << false << p << Points{} << 0 << standard << "-10" << 1.0;
        QTest::newRow("panPressOnColumn0") << false << false << QPoint(0, 100) << Points{{20, 30}, {30, 40}} << 1 << panned << "-10.8621" << 1.0;
        QTest::newRow("panPressOnRow0") << false << false << QPoint(100, 0) << Points{{5, 5}, {15, 15}} << 1 << panned << "-10.8621" << 1.0;
        QTest::newRow("boxLastMoveIsSecondCorner") << true << false << corner << Points{{51, 41}, {10, 10}, {150, 140}} << 1 << box << "-5.60345" << 1.0;
        // A box dragged in any direction zooms to the box.
        QTest::newRow("boxReversed") << true << false << corner << Points{{150, 140}, {51, 41}} << 1 << box << "-5.60345" << 1.0;
        QTest::newRow("boxUpRight") << true << false << corner << Points{{51, 140}, {150, 41}} << 1 << box << "-5.60345" << 1.0;
        // Equal bounds would trap the plot: the box is refused.
        QTest::newRow("boxZeroWidth") << true << false << corner << Points{{51, 41}, {51, 140}} << 0 << standard << "" << 1.0;
        QTest::newRow("boxOneMoveKeepsBounds") << true << false << corner << Points{{51, 41}} << 0 << standard << "" << 1.0;
        QTest::newRow("boxWithFinderArmed") << true << true << corner << Points{{51, 41}, {150, 140}} << 2 << box << "-5.60345" << 1.0;
        // The pan is written to the fields (and redrawn), then the finder answers on top.
        QTest::newRow("panWithFinderArmed") << false << true << p << Points{{105, 105}, {110, 110}} << 3 << panned << "-10.8621" << 1.0;
        QTest::newRow("boxNoMoveKeepsBounds") << true << false << corner << Points{} << 0 << standard << "" << 1.0;
        // The pointer's pixels are the widget's at any device-pixel ratio.
        QTest::newRow("panAtRatio2") << false << false << p << Points{{60, 150}, {130, 90}, {110, 110}} << 3 << panned << "-10.8621" << 2.0;
        QTest::newRow("boxAtRatio1.5") << true << false << corner << Points{{51, 41}, {150, 140}} << 1 << box << "-5.60345" << 1.5;
        // clang-format on
    }

    void drag()
    {
        QFETCH(bool, box);
        QFETCH(bool, armed);
        QFETCH(QPoint, press);
        QFETCH(Points, moves);
        QFETCH(Bounds, bounds);
        QFETCH(QString, xMinText);
        QFETCH(qreal, ratio);
        Plot plot(QString(), ratio);
        plot.add("x:x");
        plot.add("y:y");
        const int before = plot.getRedrawCount();
        if (box)
            plot.zoom_box_slot();
        if (armed) {
            plot.activateFindingIntersection();
            // The main window redraws once on every write-back.
            connect(&plot, &GraphWidget::panning, &plot, [&plot](bool on) {
                if (!on)
                    plot.drawGraph();
            });
        }
        plot.mouse(QEvent::MouseButtonPress, press);
        for (QPoint m : moves)
            plot.mouse(QEvent::MouseMove, m);
        QCOMPARE(plot.log, QStringList()); // the fields are not written during the drag
        plot.mouse(QEvent::MouseButtonRelease, moves.isEmpty() ? press : moves.last());
        QVERIFY(!plot.getZoomBoxMode());
        QCOMPARE(plot.getFindingIntersection(), armed && box);
        QTEST(plot.getRedrawCount() - before, "redraws");
        const Bounds got{plot.getXMin(), plot.getXMax(), plot.getYMin(), plot.getYMax()};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(got[i], bounds[i]);
        QCOMPARE(plot.log.size(), xMinText.isEmpty() ? 0 : 6);
        QCOMPARE(plot.log.value(1), xMinText);
        if (armed && !box) {
            const QImage answered = plot.picture().copy();
            plot.drawGraph();
            QVERIFY(plot.picture() != answered);
        }

        // Whatever the drag was, the widget goes on working: a pick (which takes the tap and
        // leaves the fields alone), a pan and a zoom.
        plot.log.clear();
        plot.activateFindingIntersection();
        plot.tap(QPoint(120, 120));
        QVERIFY(!plot.getFindingIntersection());
        QCOMPARE(plot.log, QStringList());
        plot.drag(QPoint(100, 100), {{105, 105}, {90, 120}}, QPoint(90, 120));
        QCOMPARE(plot.log.size(), 6);
        plot.zoom_box_slot();
        plot.drag(QPoint(10, 10), {{20, 20}, {200, 200}}, QPoint(200, 200));
    }

    void calcIntersection_data()
    {
        QTest::addColumn<QString>("f1");
        QTest::addColumn<QString>("f2");
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<QPointF>("crossing");
        QTest::addColumn<double>("tolerance"); // 0: none found
        // clang-format off
        QTest::newRow("bothOfY") << "y:y+0.3" << "y:0.7-y" << QPointF(0.4, 0.25) << QPointF(0.5, 0.2) << 1e-4;
        // The line x = c goes through c's 6-digit text: the crossing comes out to about 1e-5.
        QTest::newRow("mixedXFirst") << "x:x" << "y:2.4691356-y" << QPointF(1.3, 1.2) << QPointF(1.2345678, 1.2345678) << 2e-5;
        // The line x = c is written "2E+06", which compiles.
        QTest::newRow("mixedFarOut") << "x:x" << "y:4000000-y" << QPointF(2000000.5, 1999999.5) << QPointF(2e6, 2e6) << 0.5;
        QTest::newRow("mixedYFirst") << "y:2-y" << "x:x" << QPointF(0.9, 1.1) << QPointF(1, 1) << 1e-3;
        // No sign change, but the curves touch within a pixel there.
        QTest::newRow("touching") << "x:x^2" << "x:0" << QPointF(0.01, 0) << QPointF(0.01, 0.0001) << 1e-5;
        // x = y^2/4 - 2 meets x = c twice over the nested search's rows: it ends off y = x^2/4 - 2.
        QTest::newRow("mixedNotOnBothCurves") << "x:x^2/4-2" << "y:y^2/4-2" << QPointF(-0.0862064362, -1.48148155) << QPointF() << 0.0;
        QTest::newRow("mixedInfinity") << "x:x" << "y:1/0" << QPointF(0, 0) << QPointF() << 0.0;
        // clang-format on
    }

    void calcIntersection()
    {
        QFETCH(QString, f1);
        QFETCH(QString, f2);
        QFETCH(QPointF, centre);
        QFETCH(QPointF, crossing);
        QFETCH(double, tolerance);
        const bool ok = tolerance > 0;
        Plot plot;
        Function *g1 = plot.add(f1);
        float ix = -1, iy = -1;
        QCOMPARE(plot.calcIntersection(g1, plot.add(f2), float(centre.x()), float(centre.y()),
                                       30.0f, 20, ix, iy),
                 ok);
        QVERIFY2(!ok ||
                     (qAbs(ix - crossing.x()) < tolerance && qAbs(iy - crossing.y()) < tolerance),
                 qPrintable(QStringLiteral("%1, %2").arg(ix).arg(iy)));
    }

    // The scan behind the finder, also to the last bit of a double. Undefined stretches bracket
    // nothing; a zero on a sample is found once.
    void crossings_data()
    {
        QTest::addColumn<Gap>("gap");
        QTest::addColumn<QList<double>>("positions");
        QTest::addColumn<bool>("single");
        QTest::addColumn<QList<double>>("expected");
        const Gap square = [](double t) { return t * t - 2; };
        const Gap log = [](double t) { return std::log(t); };
        const Gap twice = [](double t) { return t * t - 1; };
        const QList<double> halves{-2, -1.5, -1, -0.5, 0, 0.5, 1, 1.5, 2};
        QTest::newRow("rootTwo") << square << halves << false << QList<double>{-M_SQRT2, M_SQRT2};
        QTest::newRow("rootTwoFloat")
            << square << halves << true << QList<double>{-1.41421354f, 1.41421354f};
        QTest::newRow("acrossUndefined") << log << halves << false << QList<double>{1};
        QTest::newRow("onSamples") << twice << halves << false << QList<double>{-1, 1};
    }

    void crossings()
    {
        QFETCH(Gap, gap);
        QFETCH(QList<double>, positions);
        QFETCH(bool, single);
        QFETCH(QList<double>, expected);
        const std::vector<double> got =
            findCrossings(gap, {positions.begin(), positions.end()},
                          single ? Precision::Single : Precision::Double);
        QCOMPARE(int(got.size()), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            // Within a unit in the last place: neighbours can have gaps of one size.
            const double want = expected[int(i)];
            const double ulp = single ? std::nextafter(float(want), INFINITY) - float(want)
                                      : std::nextafter(want, INFINITY) - want;
            QVERIFY(std::fabs(got[i] - want) <= ulp &&
                    (!single || double(float(got[i])) == got[i]));
        }
    }

    void finder_data()
    {
        QTest::addColumn<QStringList>("functions");
        QTest::addColumn<int>("counter"); // -1: as the additions left it
        QTest::addColumn<QPoint>("tap");
        QTest::addColumn<QString>("expected"); // "circle", "Error." or "nothing"
        QTest::addColumn<QPointF>("crossing"); // where the circle is expected
        // The tap in the widget's pixels, the circle in the device's; texts compared at 1.
        QTest::addColumn<qreal>("ratio");
        // y = x + 0.3 and y = 0.7 - x cross at (0.2, 0.5): column 118, row 102.
        const QString up = "x:x+0.3", down = "x:0.7-x";
        const QPoint tap(120, 104);
        const QPointF at(0.2, 0.5), none;
        // sin(x)*3 and x^2/4 cross at pixels (116, 108) and (145, 90): the bisection's
        // interval holds both.
        const QStringList close{"x:sin(x)*3", "x:x^2/4"};
        // clang-format off
        QTest::newRow("thirdFunctionIgnored") << QStringList{"x:5", up, down} << -1 << tap << "circle" << at << 1.0;
        // A hidden line passes nearest, through (0.32, 0.38).
        QTest::newRow("hiddenCandidateSkipped") << QStringList{up, "!x:0.38", down} << -1 << tap << "circle" << at << 1.0;
        QTest::newRow("hiddenPartner") << QStringList{up, "!" + down} << -1 << tap << "Error." << none << 1.0;
        QTest::newRow("parallelLines") << QStringList{"x:x", "x:x+1"} << -1 << tap << "Error." << none << 1.0;
        QTest::newRow("errorKeptInside") << QStringList{"x:x", "x:x+1"} << -1 << QPoint(229, 1) << "Error." << none << 1.0;
        QTest::newRow("nanAndInfinityNeverChosen")
            << QStringList{"x:ln(0-1)", up, "x:1/0", "y:1/0", "y:sqrt(0-1)", down} << -1 << tap << "circle" << at << 1.0;
        // x = 0.7 - y: the same crossing, through the nested search.
        QTest::newRow("mixed") << QStringList{up, "y:0.7-y"} << -1 << tap << "circle" << at << 1.0;
        QTest::newRow("closeCrossingsAtZero") << close << -1 << QPoint(118, 107) << "circle" << QPointF(0, 0) << 1.0;
        QTest::newRow("closeCrossingsRight") << close << -1 << QPoint(144, 91) << "circle" << QPointF(2.5625508, 1.6416667) << 1.0;
        QTest::newRow("mixedLines") << QStringList{"x:x", "y:2-y"} << -1 << QPoint(129, 95) << "circle" << QPointF(1, 1) << 1.0;
        // x = sin(y)*4 bends back and forth over the bisection's rows.
        QTest::newRow("mixedWavy") << QStringList{"x:cos(x)", "y:sin(y)*4"} << -1 << QPoint(132, 103) << "circle" << QPointF(1.2479359, 0.3172805) << 1.0;
        // The bisection ends within a pixel of both curves, but two pixels from their crossing.
        QTest::newRow("mixedAtAShallowAngle") << QStringList{"x:x^2/4-2", "y:y^2/4-2"} << -1 << QPoint(101, 124) << "circle" << QPointF(-1.4641016, -1.4641016) << 1.0;
        QTest::newRow("crossing20PixelsAway") << QStringList{"x:x", "x:3.5-x"} << -1 << QPoint(116, 108) << "Error." << none << 1.0;
        QTest::newRow("crossing16PixelsAskew") << QStringList{"x:x", "x:2-x"} << -1 << QPoint(116, 109) << "Error." << none << 1.0;
        QTest::newRow("oneRecordCounterTwo") << QStringList{up} << 2 << tap << "Error." << none << 1.0;
        QTest::newRow("counterBelowTwo") << QStringList{up, down} << 1 << tap << "nothing" << none << 1.0;
        // Texts that fit neither right of the crossing nor above it.
        QTest::newRow("textsLeftOfIt") << QStringList{"x:8-x", "x:x-8"} << -1 << QPoint(208, 107) << "circle" << QPointF(8, 0) << 1.0;
        QTest::newRow("textsLeftOfAndBelowIt") << QStringList{"x:17.5-x", "x:x+1.5"} << -1 << QPoint(208, 6) << "circle" << QPointF(8, 9.5) << 1.0;
        QTest::newRow("mixedAtRatio2") << QStringList{up, "y:0.7-y"} << -1 << tap << "circle" << at << 2.0;
        QTest::newRow("closeCrossingsRightAtRatio1.5") << close << -1 << QPoint(144, 91) << "circle" << QPointF(2.5625508, 1.6416667) << 1.5;
        // clang-format on
    }

    // The answer is drawn over the picture and read out after the description of the
    // redraw, until the next redraw.
    void finder()
    {
        QFETCH(QStringList, functions);
        QFETCH(int, counter);
        QFETCH(QPoint, tap);
        QFETCH(QString, expected);
        QFETCH(QPointF, crossing);
        QFETCH(qreal, ratio);
        Plot plot(QString(), ratio);
        for (const QString &f : functions)
            plot.add(f);
        if (counter >= 0)
            plot.setNumberOfFunctions(counter);
        // The second redraw starts from the curve state the first one left, as every later one
        // does.
        plot.drawGraph();
        plot.drawGraph();
        const QImage plain = plot.picture().copy();
        const QString described = plot.accessibleDescription();
        const int redraws = plot.getRedrawCount();

        plot.activateFindingIntersection();
        plot.tap(tap);
        const QImage img = plot.picture().copy();
        const QString answer = plot.accessibleDescription().mid(described.size());
        QVERIFY(!plot.getFindingIntersection());
        QCOMPARE(plot.getRedrawCount(), redraws);
        QCOMPARE(plot.log, QStringList());
        QFont font = plot.font();
        font.setStyleStrategy(QFont::NoAntialias);
        const QFontMetrics metrics(font);
        if (expected == "circle") {
            // Within a pixel of the crossing: a 5-pixel circle around its pixel, nothing red.
            const QRegularExpressionMatch said =
                QRegularExpression("^ Crossing of (.+) and (.+) at \\((.+), (.+)\\)\\.$")
                    .match(answer);
            QVERIFY2(said.hasMatch(), qPrintable(answer));
            const float x = said.captured(3).toFloat(), y = said.captured(4).toFloat();
            QVERIFY2(qAbs(x - crossing.x()) < plot.getXUnitsPerPixel() &&
                         qAbs(y - crossing.y()) < plot.getYUnitsPerPixel(),
                     qPrintable(answer));
            const GraphWidget::Mapping m = plot.pictureMapping();
            const int c = m.columnOf(x), r = m.rowOf(y), d = qRound(2 * ratio);
            for (QPoint p : Points{{c - d, r}, {c + d, r}, {c, r - d}, {c, r + d}})
                QCOMPARE(img.pixel(p), black);
            QVERIFY(img.pixel(c - d - 1, r) != black && img.pixel(c + d + 1, r) != black);
            QCOMPARE(count(img, img.rect(), red), 0);
            // At ratio 1 the whole picture, the circle's pixels as drawn: the texts of the two
            // functions and the coordinates, left-aligned 5 pixels right of the crossing with
            // baselines 25, 15 and 5 pixels above it; where they would not fit, on the other
            // side: ending 5 pixels left of it (or at the left edge), or starting 5 below it.
            const QStringList texts{said.captured(1), said.captured(2),
                                    QString("(%1, %2)").arg(said.captured(3), said.captured(4))};
            int width = 0;
            for (const QString &t : texts)
                width = qMax(width, metrics.horizontalAdvance(t));
            const QPoint first(c + 5 + width <= 232 ? c + 5 : qMax(0, c - 5 - width),
                               r - 25 >= metrics.ascent() ? r - 25 : r + 5 + metrics.ascent());
            QImage drawn = withTexts(plain, font, black, first, texts);
            for (int v = r - 3; v <= r + 3; ++v)
                for (int u = c - 3; u <= c + 3; ++u)
                    if (img.rect().contains(u, v))
                        drawn.setPixel(u, v, img.pixel(u, v));
            if (ratio == 1)
                QCOMPARE(img, drawn);
        } else if (expected == "nothing") {
            QCOMPARE(img, plain);
            QCOMPARE(answer, QString());
        } else {
            // In red at the tap, inside the plot.
            const QPoint at(qMin(tap.x(), 232 - metrics.horizontalAdvance(expected)),
                            qMax(tap.y(), metrics.ascent()));
            QCOMPARE(img, withTexts(plain, font, red, at, {expected}));
            QCOMPARE(answer,
                     QString(" No crossing found near (%1, %2).")
                         .arg(formatNumber(plot.xAt(tap.x())), formatNumber(plot.yAt(tap.y()))));
        }
        // The overlay lasts until the next redraw.
        plot.drawGraph();
        QCOMPARE(plot.picture(), plain);
        QCOMPARE(plot.accessibleDescription(), described);
    }
};

QTEST_MAIN(tst_GraphWidget)
#include "tst_graphwidget.moc"
