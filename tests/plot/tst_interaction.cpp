#include "model/function.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QtTest>

#include <memory>

using Points = QList<QPoint>;
using Bounds = QList<float>; // xMin, xMax, yMin, yMax

namespace {

// The plot area as the main window builds it: 232 x 216 inside a parent,
// drawn once so that the scale factors are those of the standard bounds.
struct Plot
{
    QWidget parent;
    GraphWidget *w;
    QStringList log; // what reaches the bound fields, inside "(" and ")" while panning

    Plot()
    {
        parent.resize(240, 300);
        w = new GraphWidget(&parent, "graph1");
        w->setGeometry(QRect(1, 1, 232, 216));
        w->drawGraph();
        QObject::connect(w, &GraphWidget::panning, w, [this](bool on) { log << (on ? "(" : ")"); });
        for (auto field : {&GraphWidget::x_min_changed, &GraphWidget::x_max_changed,
                           &GraphWidget::y_min_changed, &GraphWidget::y_max_changed})
            QObject::connect(w, field, w, [this](const QString &t) { log << t; });
    }
    void add(const QString &text, char var, QColor color = Qt::blue, bool enabled = true)
    {
        w->addFunction(w->getNumberOfFunctions(), text, var, color)->setEnabled(enabled);
    }
    void mouse(QEvent::Type type, QPoint p)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
    void drag(QPoint press, const Points &moves, QPoint release)
    {
        mouse(QEvent::MouseButtonPress, press);
        for (QPoint m : moves)
            mouse(QEvent::MouseMove, m);
        mouse(QEvent::MouseButtonRelease, release);
    }
    void tap(QPoint p) { drag(p, {}, p); }
    Bounds bounds() const { return {w->getXMin(), w->getXMax(), w->getYMin(), w->getYMax()}; }
};

bool near(const Bounds &a, const Bounds &b)
{
    for (int i = 0; i < 4; ++i) {
        if (!(qAbs(a[i] - b[i]) < 1e-4f))
            return false;
    }
    return true;
}

QString text(const Bounds &b)
{
    return QStringLiteral("%1 %2 %3 %4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

int countColor(const QImage &img, QRect area, QColor c)
{
    int n = 0;
    area &= img.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == c.rgb();
    return n;
}

struct Fn
{
    QString text;
    char var;
    bool enabled = true;
};

} // namespace

Q_DECLARE_METATYPE(Fn)

class tst_Interaction : public QObject
{
    Q_OBJECT

private slots:
    void pan_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<Points>("moves");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<int>("redraws");
        // Every moving row ends 10 columns right and 10 rows down of where panning began.
        QTest::newRow("oneMove") << QPoint(100, 100) << Points{{110, 110}} << true << 1;
        QTest::newRow("overshootAndBack")
            << QPoint(100, 100) << Points{{60, 150}, {130, 90}, {110, 110}} << true << 3;
        QTest::newRow("standStill") << QPoint(100, 100) << Points{{100, 100}} << false << 1;
        QTest::newRow("noMove") << QPoint(100, 100) << Points{} << false << 0;
        QTest::newRow("pressOnColumn0")
            << QPoint(0, 100) << Points{{20, 30}, {30, 40}} << true << 1;
        QTest::newRow("pressOnRow0") << QPoint(100, 0) << Points{{5, 5}, {15, 15}} << true << 1;
    }

    void pan()
    {
        QFETCH(QPoint, press);
        QFETCH(Points, moves);
        QFETCH(bool, moved);
        Plot plot;
        GraphWidget *w = plot.w;
        const int before = w->getRedrawCount();

        plot.mouse(QEvent::MouseButtonPress, press);
        for (QPoint m : moves)
            plot.mouse(QEvent::MouseMove, m);
        QTEST(w->getRedrawCount() - before, "redraws");
        QCOMPARE(plot.log, QStringList()); // the fields are not written during the drag
        const Bounds expected = moved ? Bounds{-10.862069f, 9.137931f, -9.074074f, 10.925926f}
                                      : Bounds{-10, 10, -10, 10};
        QVERIFY2(near(plot.bounds(), expected), qPrintable(text(plot.bounds())));

        plot.mouse(QEvent::MouseButtonRelease, moves.isEmpty() ? press : moves.last());
        QCOMPARE(plot.log.size(), 6);
        QCOMPARE(plot.log.first() + plot.log.last(), QStringLiteral("()"));
        // Six digits; how many moves summed up the shift may change the last
        // one, so the exact texts are those of a single step.
        const QStringList texts = plot.log.mid(1, 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(texts.at(i), formatNumber(plot.bounds()[i]));
        if (!moved)
            QCOMPARE(texts, QStringList({"-10", "10", "-10", "10"}));
        else if (moves.size() == 1)
            QCOMPARE(texts, QStringList({"-10.8621", "9.13793", "-9.07407", "10.9259"}));
    }

    void zoomBox_data()
    {
        QTest::addColumn<Points>("moves");
        QTest::addColumn<Bounds>("expected");
        QTest::addColumn<QString>("xMinText"); // empty: the fields are not written
        // Plot x of columns 51 and 150, plot y of rows 140 and 41.
        const float x51 = -5.603448f, x150 = 2.931034f, y140 = -2.962963f, y41 = 6.203704f;
        QTest::newRow("lastMoveIsSecondCorner")
            << Points{{51, 41}, {10, 10}, {150, 140}} << Bounds{x51, x150, y140, y41} << "-5.60345";
        QTest::newRow("reversed") << Points{{150, 140}, {51, 41}} << Bounds{x150, x51, y41, y140}
                                  << "2.93104";
        QTest::newRow("zeroWidth")
            << Points{{51, 41}, {51, 140}} << Bounds{x51, x51, y140, y41} << "-5.60345";
        QTest::newRow("oneMoveKeepsBounds") << Points{{51, 41}} << Bounds{-10, 10, -10, 10} << "";
        QTest::newRow("noMoveKeepsBounds") << Points{} << Bounds{-10, 10, -10, 10} << "";
    }

    void zoomBox()
    {
        QFETCH(Points, moves);
        QFETCH(Bounds, expected);
        QFETCH(QString, xMinText);
        Plot plot;
        GraphWidget *w = plot.w;
        plot.add(QStringLiteral("x"), 'x');
        plot.add(QStringLiteral("y"), 'y');
        const int before = w->getRedrawCount();

        w->zoom_box_slot();
        plot.drag(QPoint(50, 40), moves, QPoint(200, 200));
        QVERIFY(!w->getZoomBoxMode());
        QVERIFY2(near(plot.bounds(), expected), qPrintable(text(plot.bounds())));
        QCOMPARE(w->getRedrawCount() - before, xMinText.isEmpty() ? 0 : 1);
        QCOMPARE(plot.log.size(), xMinText.isEmpty() ? 0 : 6);
        QCOMPARE(plot.log.value(1), xMinText);

        // Whatever the box was, the widget goes on working: a pan, a zoom and a pick.
        plot.drag(QPoint(100, 100), {{105, 105}, {90, 120}}, QPoint(90, 120));
        w->zoom_box_slot();
        plot.drag(QPoint(10, 10), {{20, 20}, {200, 200}}, QPoint(200, 200));
        w->activateFindingIntersection();
        plot.tap(QPoint(116, 108));
        QVERIFY(!w->getFindingIntersection());
    }

    void bothModesArmed()
    {
        Plot plot;
        GraphWidget *w = plot.w;
        plot.add(QStringLiteral("x"), 'x');
        plot.add(QStringLiteral("0-x"), 'x');
        w->activateFindingIntersection();
        w->zoom_box_slot();
        plot.drag(QPoint(50, 40), {{51, 41}, {150, 140}}, QPoint(150, 140));
        QVERIFY(!w->getZoomBoxMode());
        QVERIFY(w->getFindingIntersection());
        QCOMPARE(plot.log.size(), 6);
        // The pick release goes to the finder and leaves the fields alone, even after a pan.
        plot.drag(QPoint(120, 120), {{121, 121}}, QPoint(121, 121));
        QVERIFY(!w->getFindingIntersection());
        QCOMPARE(plot.log.size(), 6);
        plot.tap(QPoint(100, 100));
        QCOMPARE(plot.log.size(), 12);
    }

    void calcIntersection_data()
    {
        QTest::addColumn<Fn>("f1");
        QTest::addColumn<Fn>("f2");
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QPointF>("crossing"); // checked when finite
        QTest::addColumn<double>("tolerance");
        const Fn diagonal = {"x", 'x'};
        const double nan = qQNaN();
        QTest::newRow("bothOfX") << Fn{"x+0.3", 'x'} << Fn{"0.7-x", 'x'} << QPointF(0.25, 0.4)
                                 << true << QPointF(0.2, 0.5) << 1e-4;
        QTest::newRow("bothOfY") << Fn{"y+0.3", 'y'} << Fn{"0.7-y", 'y'} << QPointF(0.4, 0.25)
                                 << true << QPointF(0.5, 0.2) << 1e-4;
        // The line x = c goes through c's 6-digit text: the crossing comes out to about 1e-5.
        QTest::newRow("mixedXFirst") << diagonal << Fn{"2.4691356-y", 'y'} << QPointF(1.3, 1.2)
                                     << true << QPointF(1.2345678, 1.2345678) << 2e-5;
        // The line x = c is written "2E+06", which compiles.
        QTest::newRow("mixedFarOut")
            << diagonal << Fn{"4000000-y", 'y'} << QPointF(2000000.5, 1999999.5) << true
            << QPointF(2e6, 2e6) << 0.5;
        QTest::newRow("mixedYFirst")
            << Fn{"2-y", 'y'} << diagonal << QPointF(0.9, 1.1) << true << QPointF(1, 1) << 1e-3;
        // No sign change: the interval collapses to the centre's x, where the
        // lines are still apart.
        QTest::newRow("parallel") << diagonal << Fn{"x+1", 'x'} << QPointF(0.5, 0.8) << false
                                  << QPointF(0.5, 0.5) << 1e-5;
        // No sign change either, but the curves touch within a pixel there.
        QTest::newRow("touching") << Fn{"x^2", 'x'} << Fn{"0", 'x'} << QPointF(0.01, 0) << true
                                  << QPointF(0.01, 0.0001) << 1e-5;
        QTest::newRow("nanEverywhere")
            << Fn{"ln(0-1)", 'x'} << diagonal << QPointF(0, 0) << false << QPointF(nan, nan) << 0.0;
        QTest::newRow("mixedNan") << Fn{"sqrt(0-1)", 'y'} << diagonal << QPointF(0, 0) << false
                                  << QPointF(nan, nan) << 0.0;
        QTest::newRow("mixedInfinity")
            << diagonal << Fn{"1/0", 'y'} << QPointF(0, 0) << false << QPointF(nan, nan) << 0.0;
    }

    void calcIntersection()
    {
        QFETCH(Fn, f1);
        QFETCH(Fn, f2);
        QFETCH(QPointF, centre);
        QFETCH(QPointF, crossing);
        QFETCH(double, tolerance);
        Plot plot;
        Function g1(1, f1.text, f1.var, QColor(Qt::blue), nullptr);
        Function g2(2, f2.text, f2.var, QColor(Qt::blue), nullptr);
        float ix = -1, iy = -1;
        QTEST(plot.w->calcIntersection(&g1, &g2, float(centre.x()), float(centre.y()), 30.0f, 20,
                                       ix, iy),
              "ok");
        if (!qIsNaN(crossing.x())) {
            QVERIFY2(qAbs(ix - crossing.x()) < tolerance, qPrintable(QString::number(ix)));
            QVERIFY2(qAbs(iy - crossing.y()) < tolerance, qPrintable(QString::number(iy)));
        }
    }

    void finder_data()
    {
        QTest::addColumn<QList<Fn>>("functions");
        QTest::addColumn<int>("counter"); // -1: as the additions left it
        QTest::addColumn<QPoint>("tap");
        QTest::addColumn<QString>("expected"); // "circle", "Error." or "nothing"
        // y = x + 0.3 and y = 0.7 - x cross at (0.2, 0.5): column 118, row 102, where
        // the circle is expected.
        const Fn up = {"x+0.3", 'x'}, down = {"0.7-x", 'x'};
        const QPoint tap(120, 104);
        QTest::newRow("thirdFunctionIgnored")
            << QList<Fn>{{"5", 'x'}, up, down} << -1 << tap << "circle";
        // A hidden line passes nearest, through (0.32, 0.38).
        QTest::newRow("hiddenCandidateSkipped")
            << QList<Fn>{up, {"0.38", 'x', false}, down} << -1 << tap << "circle";
        QTest::newRow("hiddenPartner")
            << QList<Fn>{up, {"0.7-x", 'x', false}} << -1 << tap << "Error.";
        QTest::newRow("parallelLines")
            << QList<Fn>{{"x", 'x'}, {"x+1", 'x'}} << -1 << tap << "Error.";
        QTest::newRow("nanAndInfinityNeverChosen")
            << QList<Fn>{{"ln(0-1)", 'x'}, up, {"1/0", 'x'}, {"1/0", 'y'}, {"sqrt(0-1)", 'y'}, down}
            << -1 << tap << "circle";
        // x = 0.7 - y: the same crossing, through the nested search.
        QTest::newRow("mixed") << QList<Fn>{up, {"0.7-y", 'y'}} << -1 << tap << "circle";
        QTest::newRow("crossing20PixelsAway")
            << QList<Fn>{{"x", 'x'}, {"3.5-x", 'x'}} << -1 << QPoint(116, 108) << "Error.";
        QTest::newRow("onlyUndefinedFunctions")
            << QList<Fn>{{"ln(0-1)", 'x'}, {"sqrt(0-1)", 'y'}} << -1 << tap << "Error.";
        QTest::newRow("oneRecordCounterTwo") << QList<Fn>{up} << 2 << tap << "Error.";
        QTest::newRow("counterBelowTwo") << QList<Fn>{up, down} << 1 << tap << "nothing";
    }

    void finder()
    {
        QFETCH(QList<Fn>, functions);
        QFETCH(int, counter);
        QFETCH(QPoint, tap);
        QFETCH(QString, expected);
        Plot plot;
        GraphWidget *w = plot.w;
        for (const Fn &f : functions)
            plot.add(f.text, f.var, Qt::blue, f.enabled);
        if (counter >= 0)
            w->setNumberOfFunctions(counter);
        // The second redraw starts from the curve state the first one left, as every later one
        // does.
        w->drawGraph();
        w->drawGraph();
        const QImage plain = w->picture().copy();
        const int redraws = w->getRedrawCount();

        w->activateFindingIntersection();
        plot.tap(tap);
        const QImage img = w->picture();
        QVERIFY(!w->getFindingIntersection());
        QCOMPARE(w->getRedrawCount(), redraws);
        QCOMPARE(plot.log, QStringList());
        const QColor black(Qt::black), red(255, 0, 0);
        if (expected == "nothing") {
            QCOMPARE(img, plain);
        } else if (expected == "circle") {
            // A 5-pixel circle around the crossing's pixel, texts beside it, nothing red.
            const int c = 118, r = 102;
            for (QPoint p : Points{{c - 2, r}, {c + 2, r}, {c, r - 2}, {c, r + 2}})
                QVERIFY(img.pixel(p) == black.rgb());
            QVERIFY(img.pixel(c - 3, r) != black.rgb() && img.pixel(c + 3, r) != black.rgb());
            QCOMPARE(countColor(img, img.rect(), red), 0);
            QVERIFY(countColor(img, QRect(c + 5, r - 40, 100, 40), black) > 10);
        } else {
            QVERIFY(countColor(img, QRect(tap.x() - 2, tap.y() - 20, 80, 24), red) > 5);
            QCOMPARE(countColor(img, img.rect(), black), countColor(plain, plain.rect(), black));
        }
        // The overlay lasts until the next redraw.
        w->drawGraph();
        QCOMPARE(w->picture(), plain);
    }

    void finderOverlayTexts_data()
    {
        QTest::addColumn<QStringList>("functions"); // equally near the tap: in this order
        QTest::addColumn<QPointF>("tap");
        QTest::addColumn<QPoint>("crossing"); // its pixel
        QTest::addColumn<QString>("coordinates");
        QTest::addColumn<bool>("moved"); // to the right edge (and to the top); else beside
        // The difference is exactly 0 at the middle of the search interval, so the
        // crossings are exact.
        QTest::newRow("besideCrossing")
            << QStringList{"0-x", "x"} << QPointF(0, 0.1) << QPoint(116, 108) << "(0, 0)" << false;
        QTest::newRow("rightEdge")
            << QStringList{"8-x", "x-8"} << QPointF(8, 0.1) << QPoint(208, 108) << "(8, 0)" << true;
        QTest::newRow("topRightCorner") << QStringList{"17.5-x", "x+1.5"} << QPointF(8, 9.4)
                                        << QPoint(208, 5) << "(8, 9.5)" << true;
    }

    // The texts of the two functions and the coordinates, left-aligned 5 pixels
    // right of the crossing with baselines 25, 15 and 5 pixels above it; near the
    // edges moved left and down just far enough to be seen whole.
    void finderOverlayTexts()
    {
        QFETCH(QStringList, functions);
        QFETCH(QPointF, tap);
        QFETCH(QPoint, crossing);
        QFETCH(QString, coordinates);
        QFETCH(bool, moved);
        Plot plot;
        GraphWidget *w = plot.w;
        plot.add(functions[0], 'x', Qt::blue);
        plot.add(functions[1], 'x', Qt::darkGreen);
        w->drawGraph();
        QImage expected = w->picture().copy();
        w->findIntersectionNear(float(tap.x()), float(tap.y()));
        const QImage img = w->picture().copy();

        QFont font = w->font();
        font.setStyleStrategy(QFont::NoAntialias);
        const QFontMetrics metrics(font);
        const QStringList texts = functions + QStringList{coordinates};
        int width = 0;
        for (const QString &t : texts)
            width = qMax(width, metrics.horizontalAdvance(t));
        QCOMPARE(crossing.x() + 5 + width > 232, moved);
        const int left = moved ? 232 - width : crossing.x() + 5;
        const int baseline = qMax(crossing.y() - 25, metrics.ascent());
        QPainter p(&expected);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(font);
        p.setPen(Qt::black);
        for (int i = 0; i < 3; ++i)
            p.drawText(QPoint(left, baseline + 10 * i), texts[i]);
        p.end();
        QVERIFY(countColor(img, QRect(left, baseline - 20, width, 30), Qt::black) > 10);
        // Only the texts are compared here: the circle is the finder test's.
        for (int y = crossing.y() - 3; y <= crossing.y() + 3; ++y)
            for (int x = crossing.x() - 3; x <= crossing.x() + 3; ++x)
                if (img.rect().contains(x, y))
                    expected.setPixel(x, y, img.pixel(x, y));
        QCOMPARE(img, expected);
    }
};

QTEST_MAIN(tst_Interaction)
#include "tst_interaction.moc"
