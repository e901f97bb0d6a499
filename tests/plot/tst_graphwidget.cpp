#include "plot/graphwidget.h"

#include "model/function.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QtTest>

#include <cfloat>
#include <cmath>
#include <memory>

using Pixels = QList<int>;
using Points = QList<QPoint>;

namespace {

const QRgb grid = qRgb(220, 220, 220);
const QRgb axis = qRgb(140, 140, 140);
const QRgb red = qRgb(255, 0, 0);

std::unique_ptr<GraphWidget> makeWidget(const QString &bounds = "-10 10 -10 10")
{
    auto w = std::make_unique<GraphWidget>(nullptr, "graph1");
    w->setGeometry(QRect(QPoint(1, 1), QPoint(232, 216)));
    const QStringList b = bounds.split(' ');
    w->change_x_min(b[0]);
    w->change_x_max(b[1]);
    w->change_y_min(b[2]);
    w->change_y_max(b[3]);
    return w;
}

// Where colour c lies along a row (or, with vertical, a column).
Pixels found(const QImage &img, int line, QRgb c, bool vertical = false)
{
    Pixels at;
    for (int i = 0; i < (vertical ? img.height() : img.width()); ++i) {
        if ((vertical ? img.pixel(line, i) : img.pixel(i, line)) == c)
            at << i;
    }
    return at;
}

} // namespace

class tst_GraphWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void frame_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<bool>("gridOn");
        QTest::addColumn<Pixels>("gridColumns"); // along row 50
        QTest::addColumn<Pixels>("axisColumns");
        QTest::addColumn<Pixels>("gridRows"); // along column 50
        const Pixels rows{0,   10,  21,  32,  43,  54,  64,  75,  86, 97,
                          118, 129, 140, 151, 162, 172, 183, 194, 205};
        // clang-format off
        QTest::newRow("standard") << "-10 10 -10 10" << true
            << Pixels{0, 11, 23, 34, 46, 58, 69, 81, 92, 104, 127, 139, 150, 162, 174, 185, 197, 208, 220}
            << Pixels{116} << rows;
        QTest::newRow("yAxisOffWidget") << "5 15 -10 10" << true
            << Pixels{0, 23, 46, 69, 92, 116, 139, 162, 185, 208} << Pixels{} << rows;
        QTest::newRow("gridOff") << "-10 10 -10 10" << false << Pixels{} << Pixels{116} << Pixels{};
        // clang-format on
    }

    void frame()
    {
        QFETCH(QString, bounds);
        QFETCH(bool, gridOn);
        auto w = makeWidget(bounds);
        if (!gridOn)
            w->toggle_grid();
        const QImage img = w->grab().toImage(); // the first paint draws
        QCOMPARE(w->getRedrawCount(), 1);
        QCOMPARE(img.size(), QSize(232, 216));
        QTEST(found(img, 50, grid), "gridColumns");
        QTEST(found(img, 50, axis), "axisColumns");
        QTEST(found(img, 50, grid, true), "gridRows");
        QCOMPARE(found(img, 50, axis, true), Pixels{108});
        QCOMPARE(img.pixel(1, 1), qRgb(255, 255, 255));
    }

    // Wherever the plain loop over running sums finishes, the grid is exactly its lines.
    void gridAsRunningSums_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<QString>("spacing");
        QTest::newRow("finerThanPixel") << "-160 160 -160 160"
                                        << "1";
        QTest::newRow("tenths") << "-10 10 -7 3"
                                << "0.1";
        QTest::newRow("farFromZero") << "1000000 1000010 -0.5 0.25"
                                     << "0.1";
        QTest::newRow("reversed") << "7.5 -3 2 -2"
                                  << "0.3";
        // 1.5 units in the last place above 1: every addition there is a tie.
        QTest::newRow("ties") << "1 1.0000276 0.9999 1.0001"
                              << "1.78813934326171875E-7";
    }

    void gridAsRunningSums()
    {
        QFETCH(QString, bounds);
        QFETCH(QString, spacing);
        auto w = makeWidget(bounds);
        w->change_grid_x(spacing);
        w->change_grid_y(spacing);
        w->toggle_grid();
        w->drawGraph();
        const QImage axes = w->picture().copy();
        w->toggle_grid();
        w->drawGraph();

        const float s = w->getGridX(), ux = w->getXUnitsPerPixel(), uy = w->getYUnitsPerPixel();
        const float x0 = w->getXMin(), x1 = w->getXMax(), y0 = w->getYMin(), y1 = w->getYMax();
        QImage expected(232, 216, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter p(&expected);
        p.setPen(QPen(QColor(grid), 0));
        for (float g = 0; g <= x1; g += s)
            p.drawLine(int((g - x0) / ux), 0, int((g - x0) / ux), 216);
        for (float g = 0; g >= x0; g -= s)
            p.drawLine(int((g - x0) / ux), 0, int((g - x0) / ux), 216);
        for (float g = 0; g <= y1; g += s)
            p.drawLine(0, int(216 - (g - y0) / uy), 232, int(216 - (g - y0) / uy));
        for (float g = 0; g >= y0; g -= s)
            p.drawLine(0, int(216 - (g - y0) / uy), 232, int(216 - (g - y0) / uy));
        p.end();
        for (int y = 0; y < 216; ++y)
            for (int x = 0; x < 232; ++x)
                if (axes.pixel(x, y) == axis)
                    expected.setPixel(x, y, axis);
        QCOMPARE(w->picture(), expected);
    }

    // Wired as the main window does it: the texts come back into the bound
    // slots, and the fourth change redraws from within the redraw.
    void boundsWrittenBackOnce()
    {
        auto w = makeWidget();
        QStringList events;
        connect(w.get(), &GraphWidget::panning, w.get(),
                [&](bool on) { events << (on ? "(" : ")"); });
        int changes = 0;
        auto field = [&](void (GraphWidget::*slot)(const QString &)) {
            return [&, slot](const QString &t) {
                events << t;
                (w.get()->*slot)(t);
                if (++changes % 4 == 0)
                    w->drawGraphSlot();
            };
        };
        connect(w.get(), &GraphWidget::x_min_changed, w.get(), field(&GraphWidget::change_x_min));
        connect(w.get(), &GraphWidget::x_max_changed, w.get(), field(&GraphWidget::change_x_max));
        connect(w.get(), &GraphWidget::y_min_changed, w.get(), field(&GraphWidget::change_y_min));
        connect(w.get(), &GraphWidget::y_max_changed, w.get(), field(&GraphWidget::change_y_max));
        const QStringList written{"(", "-10", "10", "-10", "10", ")"};
        w->addFunction(0, "5", 'x', Qt::red);
        QCOMPARE(events, QStringList());

        QTest::failOnWarning(QRegularExpression(".*"));
        w->drawGraph();
        QCOMPARE(events, written);
        QCOMPARE(w->getRedrawCount(), 2);
        QCOMPARE(found(w->picture(), 54, red).size(), 232);
        QCOMPARE(found(w->picture(), 108, axis).size(), 232);
        w->drawGraph();
        QCOMPARE(events, written);
        events.clear();
        w->change_x_min("3");
        w->zoom_std_slot();
        QCOMPARE(events, written);
        QCOMPARE(w->getXMin(), -10.0f);
    }

    void boundText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("expressionSixDigits") << "2*pi()" << 6.2831855f << "6.28319";
        QTest::newRow("exponent") << "1E-7" << 1e-7f << "1e-07";
        QTest::newRow("loneMinus") << "-" << 0.0f << "0";
        QTest::newRow("piNotRewritten") << "pi" << 0.0f << "0";
        // Read back as written: a small e is an exponent, but only after a number.
        QTest::newRow("smallExponent") << "-5e-1" << -0.5f << "-0.5";
        QTest::newRow("smallExponentPlus") << "2*1e+06" << 2e6f << "2e+06";
        QTest::newRow("letterE") << "2*e-1" << 0.0f << "0";
        // Above FLT_MAX but nearer to it than to the next power of two.
        QTest::newRow("roundsDownToFloatMax") << "3.40282356E38" << FLT_MAX << "3.40282e+38";
        QTest::newRow("roundsUpToInfinity") << "3.4028236E38" << INFINITY << "inf";
    }

    void boundText()
    {
        QFETCH(QString, typed);
        auto w = makeWidget();
        w->change_x_min(typed);
        QTEST(w->getXMin(), "value");
        QSignalSpy spy(w.get(), &GraphWidget::x_min_changed);
        w->showBounds();
        QTEST(spy.value(0).value(0).toString(), "shown");
    }

    void zoom_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<Pixels>("slider"); // successive positions in one drag
        QTest::addColumn<QList<float>>("expected");
        const QString standard = QStringLiteral("-10 10 -10 10");
        QTest::newRow("in75BackToCentre")
            << standard << Pixels{75, 50} << QList<float>{-5, 5, -5, 5};
        QTest::newRow("onTo25") << standard << Pixels{75, 50, 25} << QList<float>{-15, 15, -15, 15};
        QTest::newRow("out0") << standard << Pixels{0} << QList<float>{-20, 20, -20, 20};
        QTest::newRow("in99") << standard << Pixels{99} << QList<float>{-0.2f, 0.2f, -0.2f, 0.2f};
        QTest::newRow("yBoundsCross") << "-10 10 -1 1" << Pixels{75} << QList<float>{-5, 5, 4, -4};
    }

    void zoom()
    {
        QFETCH(QString, bounds);
        QFETCH(Pixels, slider);
        QFETCH(QList<float>, expected);
        auto w = makeWidget(bounds);
        for (int v : slider)
            w->change_zoom(v);
        QCOMPARE(w->getRedrawCount(), slider.size());
        const QList<float> got{w->getXMin(), w->getXMax(), w->getYMin(), w->getYMax()};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(qAbs(got[i] - expected[i]) < 1e-5f, qPrintable(QString::number(got[i])));
    }

    void curve_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<char>("var");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("step");
        QTest::addColumn<Points>("on"); // red pixels; none anywhere when empty
        QTest::addColumn<Points>("off");
        // y = 5 maps to row 216 - 15 / (20/216) = 54.
        // clang-format off
        QTest::newRow("constantOfX") << "5" << 'x' << true << 4 << Points{{0, 54}, {117, 54}, {231, 54}}
                                     << Points{{117, 53}, {117, 55}};
        QTest::newRow("diagonal") << "x" << 'x' << true << 1 << Points{{116, 108}, {58, 162}} << Points{{58, 54}};
        QTest::newRow("parabolaOfY") << "y^2/10" << 'y' << true << 1 << Points{{116, 108}, {144, 54}}
                                     << Points{{105, 0}};
        QTest::newRow("failsToCompile") << "2x" << 'x' << true << 4 << Points{{0, 108}, {231, 108}} << Points{};
        QTest::newRow("disabled") << "x" << 'x' << false << 4 << Points{} << Points{};
        QTest::newRow("emptyText") << "" << 'x' << true << 4 << Points{} << Points{};
        // clang-format on
    }

    void curve()
    {
        QFETCH(QString, text);
        QFETCH(char, var);
        QFETCH(bool, enabled);
        QFETCH(int, step);
        QFETCH(Points, on);
        QFETCH(Points, off);
        auto w = makeWidget();
        w->setXStep(step);
        w->setYStep(step);
        w->addFunction(0, text, var, Qt::red)->setEnabled(enabled);
        w->drawGraph();
        QCOMPARE(w->getActiveFunction(), nullptr);
        const QImage &img = w->picture();
        for (QPoint p : on)
            QVERIFY2(img.pixel(p) == red, qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
        for (QPoint p : off)
            QVERIFY2(img.pixel(p) != red, qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
        for (int y = 0; on.isEmpty() && y < img.height(); ++y)
            QVERIFY(found(img, y, red).isEmpty());
    }

    void asymptote_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("dotted"); // else a gap
        QTest::newRow("standardStep1") << "-10 10 -10 10" << 1 << true;
        QTest::newRow("flatStep1") << "-10 10 -1 1" << 1 << true;
        QTest::newRow("flatStep4") << "-10 10 -1 1" << 4 << false;
    }

    void asymptote()
    {
        QFETCH(QString, bounds);
        QFETCH(int, step);
        QFETCH(bool, dotted);
        auto w = makeWidget(bounds);
        w->setXStep(step);
        w->addFunction(0, "tan(x)", 'x', Qt::red);
        w->drawGraph();
        // x = pi/2 lies between columns 134 and 135: count rows with a red pixel there.
        int rowsHit = 0;
        for (int y = 30; y < 180; ++y)
            rowsHit += !found(w->picture().copy(133, y, 4, 1), 0, red).isEmpty();
        if (dotted)
            QVERIFY2(rowsHit > 150 / 4 && rowsHit < 150 * 3 / 4,
                     qPrintable(QString::number(rowsHit)));
        else
            QCOMPARE(rowsHit, 0);
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
        QTest::newRow("spacingNegative") << "-10 10 -10 10" << "-1" << "x" << 0;
        // Finer than a pixel: every column is a line, except under the axis and the curves.
        QTest::newRow("spacingTiny") << "-10 10 -10 10" << "1E-30" << "x" << 230;
        QTest::newRow("spacingHuge") << "-10 10 -10 10" << "1E30" << "x" << 0; // only 0, under the axis
        QTest::newRow("farFromZero") << "1000000 1000010 -10 10" << "1" << "x" << 10;
        QTest::newRow("boundsHuge") << "-1E30 1E30 -1E30 1E30" << "1" << "x^3" << 231;
        QTest::newRow("boundsEqual") << "5 5 5 5" << "1" << "x" << 0;
        QTest::newRow("boundsReversed") << "10 -10 10 -10" << "1" << "tan(x)" << 0;
        QTest::newRow("boundsNotFinite") << "-1/0 1/0 0/0 1" << "1" << "x" << 0;
        QTest::newRow("notANumber") << "-10 10 -10 10" << "1" << "sqrt(x)+ln(x)" << -1;
        QTest::newRow("infinite") << "-10 10 -10 10" << "1" << "1/(x-x)" << -1;
        // clang-format on
    }

    void hostileSettings()
    {
        QFETCH(QString, bounds);
        QFETCH(QString, spacing);
        QFETCH(QString, function);
        QFETCH(int, gridColumns);
        for (int step : {1, 4, 0}) {
            auto w = makeWidget(bounds);
            w->change_grid_x(spacing);
            w->change_grid_y(spacing);
            w->setXStep(step);
            w->setYStep(step);
            w->addFunction(0, function, 'x', Qt::red);
            w->addFunction(1, QString(function).replace('x', 'y'), 'y', Qt::blue);
            w->drawGraph();
            QCOMPARE(w->picture().size(), QSize(232, 216));
            if (gridColumns >= 0)
                QCOMPARE(found(w->picture(), 50, grid).size(), gridColumns);
        }
    }

    void registry()
    {
        auto w = makeWidget();
        // An empty list: lookups fail, accessors read neutral values and change nothing.
        w->setFunctionColor(0, Qt::red);
        w->setActiveFunctionString("x");
        w->deleteFunctionFBoxIndex(0);
        QCOMPARE(w->getFunctionString(0), QString());
        QVERIFY(!w->getFunctionColor(0).isValid());
        QCOMPARE(w->getFunctionFBoxIndex(0), -1);

        QSignalSpy removed(w.get(), qOverload<int>(&GraphWidget::functionRemoved));
        for (int id = 0; id < 3; ++id)
            w->addFunction(w->getNumberOfFunctions(), "x", 'x', QColor(id, 0, 0))->setFBoxIndex(id);
        w->setFunctionIndepVariable(2, 'y');
        QCOMPARE(w->getFunctionDepVariable(0), 'Y');
        QCOMPARE(w->getFunctionDepVariable(2), 'X');
        QVERIFY(!w->setActiveFunction(9));
        QCOMPARE(w->getActiveFunction()->getId(), 2); // absent ids land on the last record
        QCOMPARE(w->getFunctionColor(9), QColor(2, 0, 0));
        QCOMPARE(w->findFunctionFBoxIndex(7), -1);

        auto ids = [&] {
            Pixels list;
            for (Function *f = w->getFunctions(); f; f = f->getNextFunction())
                list << f->getId();
            return list;
        };
        w->deleteFunctionFBoxIndex(7);
        w->deleteFunctionFBoxIndex(1);
        QCOMPARE(ids(), (Pixels{0, 2}));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(w->getNumberOfFunctions(), 3);

        // Deleting the first record: its successor leads, and a record created while
        // the deleted one led still finds the others.
        w->deleteFunctionFBoxIndex(0);
        QCOMPARE(w->getFunctions()->getPrevFunction(), nullptr);
        w->addFunction(w->getNumberOfFunctions(), "x+3", 'x', Qt::red);
        QCOMPARE(ids(), (Pixels{2, 3}));
        w->setFunctionIndepVariable(2, 'x');
        w->setFunctionString(2, "f(3)*2");
        QCOMPARE(w->getActiveFunction()->evaluate(1.0), 8.0);

        w->setFunctionFBoxIndex(3, 1);
        w->deleteFunctionFBoxIndex(2);
        w->deleteFunctionFBoxIndex(1);
        QCOMPARE(w->getFunctions(), nullptr);
        QCOMPARE(w->getNumberOfFunctions(), 0);
        // A record still in the list is unlinked before it is freed.
        w->removeFunction(w->addFunction(0, "x", 'x', Qt::red));
        QCOMPARE(w->getFunctions(), nullptr);
        w->addFunction(0, "x", 'x', Qt::red); // left for the destructor
    }
};

QTEST_MAIN(tst_GraphWidget)
#include "tst_graphwidget.moc"
