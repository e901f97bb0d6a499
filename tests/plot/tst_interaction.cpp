#include "model/function.h"
#include "plot/graphwidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// The plot area as the main window builds it: 232 x 216 inside a parent,
// drawn once so that the scale factors are those of the standard bounds.
struct Plot
{
    QWidget parent;
    GraphWidget *w;

    Plot()
    {
        parent.resize(240, 300);
        w = new GraphWidget(&parent, "graph1");
        w->setGeometry(QRect(1, 1, 232, 216));
        w->drawGraph();
    }
    ~Plot()
    {
        while (Function *f = w->getFunctions())
            w->deleteFunctionFBoxIndex(f->getFBoxIndex());
    }
    void add(const QString &text, char var, QColor color = Qt::blue, bool enabled = true)
    {
        Function *f = w->addFunction(w->getNumberOfFunctions(), text, var, color);
        f->setEnabled(enabled);
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
    void drag(QPoint press, const QList<QPoint> &moves, QPoint release)
    {
        mouse(QEvent::MouseButtonPress, press);
        for (QPoint m : moves)
            mouse(QEvent::MouseMove, m);
        mouse(QEvent::MouseButtonRelease, release);
    }
    void tap(QPoint p) { drag(p, {}, p); }
};

bool isColor(const QImage &img, int x, int y, QColor c)
{
    return img.pixelColor(x, y).rgb() == c.rgb();
}

int countColor(const QImage &img, QRect area, QColor c)
{
    int n = 0;
    area &= img.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += isColor(img, x, y, c);
    return n;
}

struct Fn
{
    QString text;
    char var;
    bool enabled;
};

} // namespace

Q_DECLARE_METATYPE(Fn)

class tst_Interaction : public QObject
{
    Q_OBJECT

private slots:
    void pan_data();
    void pan();
    void zoomBox_data();
    void zoomBox();
    void bothModesArmed();
    void calcIntersection_data();
    void calcIntersection();
    void finder_data();
    void finder();
    void finderOverlayTexts();
};

void tst_Interaction::pan_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<int>("redraws");

    // Every moving row ends 10 columns right and 10 rows down of where panning began.
    QTest::newRow("oneMove") << QPoint(100, 100) << QList<QPoint>{{110, 110}} << true << 1;
    QList<QPoint> steps;
    for (int i = 1; i <= 10; ++i)
        steps << QPoint(100 + i, 100 + i);
    QTest::newRow("tenMoves") << QPoint(100, 100) << steps << true << 10;
    QTest::newRow("overshootAndBack")
        << QPoint(100, 100) << QList<QPoint>{{60, 150}, {130, 90}, {110, 110}} << true << 3;
    QTest::newRow("standStill") << QPoint(100, 100) << QList<QPoint>{{100, 100}} << false << 1;
    QTest::newRow("noMove") << QPoint(100, 100) << QList<QPoint>{} << false << 0;
    QTest::newRow("pressOnColumn0")
        << QPoint(0, 100) << QList<QPoint>{{20, 30}, {30, 40}} << true << 1;
    QTest::newRow("pressOnRow0") << QPoint(100, 0) << QList<QPoint>{{5, 5}, {15, 15}} << true << 1;
}

void tst_Interaction::pan()
{
    QFETCH(QPoint, press);
    QFETCH(QList<QPoint>, moves);
    QFETCH(bool, moved);
    QFETCH(int, redraws);

    Plot plot;
    GraphWidget *w = plot.w;
    QSignalSpy xMinSpy(w, &GraphWidget::x_min_changed);
    QSignalSpy xMaxSpy(w, &GraphWidget::x_max_changed);
    QSignalSpy yMinSpy(w, &GraphWidget::y_min_changed);
    QSignalSpy yMaxSpy(w, &GraphWidget::y_max_changed);
    QSignalSpy panningSpy(w, &GraphWidget::panning);
    const int before = w->getRedrawCount();

    plot.mouse(QEvent::MouseButtonPress, press);
    for (QPoint m : moves)
        plot.mouse(QEvent::MouseMove, m);
    QCOMPARE(w->getRedrawCount() - before, redraws);
    QCOMPARE(xMinSpy.count(), 0); // the fields are not written during the drag

    const float xMin = moved ? -10.862069f : -10;
    const float yMin = moved ? -9.074074f : -10;
    QVERIFY(qAbs(w->getXMin() - xMin) < 1e-4f);
    QVERIFY(qAbs(w->getXMax() - (xMin + 20)) < 1e-4f);
    QVERIFY(qAbs(w->getYMin() - yMin) < 1e-4f);
    QVERIFY(qAbs(w->getYMax() - (yMin + 20)) < 1e-4f);

    plot.mouse(QEvent::MouseButtonRelease, moves.isEmpty() ? press : moves.last());
    QCOMPARE(panningSpy.count(), 2);
    QCOMPARE(panningSpy.at(0).at(0).toBool(), true);
    QCOMPARE(panningSpy.at(1).at(0).toBool(), false);
    QCOMPARE(xMinSpy.count(), 1);
    // The fields show the bounds to six digits; how many moves summed up the
    // shift may change the last digit, so the exact texts are those of one step.
    const QStringList texts = {xMinSpy.at(0).at(0).toString(), xMaxSpy.at(0).at(0).toString(),
                               yMinSpy.at(0).at(0).toString(), yMaxSpy.at(0).at(0).toString()};
    const float bounds[] = {w->getXMin(), w->getXMax(), w->getYMin(), w->getYMax()};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(texts.at(i), QString::number(bounds[i], 'g', 6));
    if (!moved)
        QCOMPARE(texts, QStringList({"-10", "10", "-10", "10"}));
    else if (moves.size() == 1)
        QCOMPARE(texts, QStringList({"-10.8621", "9.13793", "-9.07407", "10.9259"}));
}

void tst_Interaction::zoomBox_data()
{
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<float>("xMin");
    QTest::addColumn<float>("xMax");
    QTest::addColumn<float>("yMin");
    QTest::addColumn<float>("yMax");
    QTest::addColumn<QString>("xMinText");

    // Plot x of columns 51 and 150, plot y of rows 140 and 41.
    const float x51 = -5.603448f, x150 = 2.931034f, y140 = -2.962963f, y41 = 6.203704f;
    QTest::newRow("upperLeftToLowerRight")
        << QList<QPoint>{{51, 41}, {150, 140}} << true << x51 << x150 << y140 << y41 << "-5.60345";
    QTest::newRow("lastMoveIsSecondCorner") << QList<QPoint>{{51, 41}, {10, 10}, {150, 140}} << true
                                            << x51 << x150 << y140 << y41 << "-5.60345";
    QTest::newRow("reversed") << QList<QPoint>{{150, 140}, {51, 41}} << true << x150 << x51 << y41
                              << y140 << "2.93104";
    QTest::newRow("zeroWidth") << QList<QPoint>{{51, 41}, {51, 140}} << true << x51 << x51 << y140
                               << y41 << "-5.60345";
    QTest::newRow("oneMoveKeepsBounds")
        << QList<QPoint>{{51, 41}} << false << -10.f << 10.f << -10.f << 10.f << QString();
    QTest::newRow("noMoveKeepsBounds")
        << QList<QPoint>{} << false << -10.f << 10.f << -10.f << 10.f << QString();
}

void tst_Interaction::zoomBox()
{
    QFETCH(QList<QPoint>, moves);
    QFETCH(bool, applied);
    QFETCH(float, xMin);
    QFETCH(float, xMax);
    QFETCH(float, yMin);
    QFETCH(float, yMax);
    QFETCH(QString, xMinText);

    Plot plot;
    GraphWidget *w = plot.w;
    plot.add(QStringLiteral("x"), 'x');
    plot.add(QStringLiteral("y"), 'y');
    QSignalSpy xMinSpy(w, &GraphWidget::x_min_changed);
    const int before = w->getRedrawCount();

    w->zoom_box_slot();
    plot.drag(QPoint(50, 40), moves, QPoint(200, 200));

    QVERIFY(!w->getZoomBoxMode());
    QVERIFY(qAbs(w->getXMin() - xMin) < 1e-4f);
    QVERIFY(qAbs(w->getXMax() - xMax) < 1e-4f);
    QVERIFY(qAbs(w->getYMin() - yMin) < 1e-4f);
    QVERIFY(qAbs(w->getYMax() - yMax) < 1e-4f);
    QCOMPARE(w->getRedrawCount() - before, applied ? 1 : 0);
    QCOMPARE(xMinSpy.count(), applied ? 1 : 0);
    if (applied)
        QCOMPARE(xMinSpy.at(0).at(0).toString(), xMinText);

    // Whatever the box was, the widget goes on working: a pan, a zoom and a pick.
    plot.drag(QPoint(100, 100), {{105, 105}, {90, 120}}, QPoint(90, 120));
    w->zoom_box_slot();
    plot.drag(QPoint(10, 10), {{20, 20}, {200, 200}}, QPoint(200, 200));
    w->activateFindingIntersection();
    plot.tap(QPoint(116, 108));
    QVERIFY(!w->getFindingIntersection());
}

void tst_Interaction::bothModesArmed()
{
    Plot plot;
    GraphWidget *w = plot.w;
    plot.add(QStringLiteral("x"), 'x');
    plot.add(QStringLiteral("0-x"), 'x');
    QSignalSpy xMinSpy(w, &GraphWidget::x_min_changed);

    w->activateFindingIntersection();
    w->zoom_box_slot();
    plot.drag(QPoint(50, 40), {{51, 41}, {150, 140}}, QPoint(150, 140));
    QVERIFY(!w->getZoomBoxMode());
    QVERIFY(w->getFindingIntersection());
    QCOMPARE(xMinSpy.count(), 1);

    // The pick release goes to the finder and leaves the fields alone, even after a pan.
    plot.drag(QPoint(120, 120), {{121, 121}}, QPoint(121, 121));
    QVERIFY(!w->getFindingIntersection());
    QCOMPARE(xMinSpy.count(), 1);

    plot.tap(QPoint(100, 100));
    QCOMPARE(xMinSpy.count(), 2);
}

void tst_Interaction::calcIntersection_data()
{
    QTest::addColumn<Fn>("f1");
    QTest::addColumn<Fn>("f2");
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QPointF>("crossing"); // checked when finite
    QTest::addColumn<double>("tolerance");

    const Fn xPlus = {"x+0.3", 'x', true}, xMinus = {"0.7-x", 'x', true};
    const Fn yPlus = {"y+0.3", 'y', true}, yMinus = {"0.7-y", 'y', true};
    const Fn diagonal = {"x", 'x', true}, antiY = {"2-y", 'y', true};
    const double nan = qQNaN();

    QTest::newRow("bothOfX") << xPlus << xMinus << QPointF(0.25, 0.4) << true << QPointF(0.2, 0.5)
                             << 1e-4;
    QTest::newRow("bothOfY") << yPlus << yMinus << QPointF(0.4, 0.25) << true << QPointF(0.5, 0.2)
                             << 1e-4;
    // The line x = c goes through c's 6-digit text: the crossing comes out to about 1e-5.
    QTest::newRow("mixedXFirst") << diagonal << Fn{"2.4691356-y", 'y', true} << QPointF(1.3, 1.2)
                                 << true << QPointF(1.2345678, 1.2345678) << 2e-5;
    QTest::newRow("mixedYFirst") << antiY << diagonal << QPointF(0.9, 1.1) << true << QPointF(1, 1)
                                 << 1e-3;
    // No sign change: the interval collapses to the centre's x, on f1.
    QTest::newRow("parallel") << diagonal << Fn{"x+1", 'x', true} << QPointF(0.5, 0.8) << true
                              << QPointF(0.5, 0.5) << 1e-5;
    // Found 20 pixels away, beyond the 15 pixels accepted.
    QTest::newRow("crossing20PixelsAway") << diagonal << Fn{"3.5-x", 'x', true} << QPointF(0, 0)
                                          << false << QPointF(1.75, 1.75) << 1e-4;
    QTest::newRow("nanEverywhere") << Fn{"ln(0-1)", 'x', true} << diagonal << QPointF(0, 0) << false
                                   << QPointF(nan, nan) << 0.0;
    QTest::newRow("mixedNan") << Fn{"sqrt(0-1)", 'y', true} << diagonal << QPointF(0, 0) << false
                              << QPointF(nan, nan) << 0.0;
    QTest::newRow("mixedInfinity")
        << diagonal << Fn{"1/0", 'y', true} << QPointF(0, 0) << false << QPointF(nan, nan) << 0.0;
}

void tst_Interaction::calcIntersection()
{
    QFETCH(Fn, f1);
    QFETCH(Fn, f2);
    QFETCH(QPointF, centre);
    QFETCH(bool, ok);
    QFETCH(QPointF, crossing);
    QFETCH(double, tolerance);

    Plot plot;
    auto g1 = std::make_unique<Function>(1, f1.text, f1.var, QColor(Qt::blue), nullptr);
    auto g2 = std::make_unique<Function>(2, f2.text, f2.var, QColor(Qt::blue), nullptr);
    float ix = -1, iy = -1;
    QCOMPARE(plot.w->calcIntersection(g1.get(), g2.get(), float(centre.x()), float(centre.y()),
                                      30.0f, 20, ix, iy),
             ok);
    if (!qIsNaN(crossing.x())) {
        QVERIFY2(qAbs(ix - crossing.x()) < tolerance, qPrintable(QString::number(ix)));
        QVERIFY2(qAbs(iy - crossing.y()) < tolerance, qPrintable(QString::number(iy)));
    }
}

void tst_Interaction::finder_data()
{
    QTest::addColumn<QList<Fn>>("functions");
    QTest::addColumn<int>("counter"); // -1: as the additions left it
    QTest::addColumn<QPoint>("tap");
    QTest::addColumn<QString>("expected"); // "circle", "Error." or "nothing"
    QTest::addColumn<QPoint>("crossingPixel");

    // y = x + 0.3 and y = 0.7 - x cross at (0.2, 0.5): column 118, row 102.
    const Fn up = {"x+0.3", 'x', true}, down = {"0.7-x", 'x', true};
    const QPoint cross(118, 102), tap(120, 104);
    QTest::newRow("twoLines") << QList<Fn>{up, down} << -1 << tap << "circle" << cross;
    QTest::newRow("thirdFunctionIgnored")
        << QList<Fn>{{"5", 'x', true}, up, down} << -1 << tap << "circle" << cross;
    QTest::newRow("disabledCandidate")
        << QList<Fn>{up, {"0.7-x", 'x', false}} << -1 << tap << "circle" << cross;
    QTest::newRow("nanAndInfinityNeverChosen")
        << QList<Fn>{{"ln(0-1)", 'x', true},   up,  {"1/0", 'x', true}, {"1/0", 'y', true},
                     {"sqrt(0-1)", 'y', true}, down}
        << -1 << tap << "circle" << cross;
    // x = 0.7 - y: crossing of y = x + 0.3 at (0.2, 0.5) again, through the nested search.
    QTest::newRow("mixed") << QList<Fn>{up, {"0.7-y", 'y', true}} << -1 << tap << "circle" << cross;
    QTest::newRow("crossing20PixelsAway") << QList<Fn>{{"x", 'x', true}, {"3.5-x", 'x', true}} << -1
                                          << QPoint(116, 108) << "Error." << QPoint();
    QTest::newRow("onlyUndefinedFunctions")
        << QList<Fn>{{"ln(0-1)", 'x', true}, {"sqrt(0-1)", 'y', true}} << -1 << tap << "Error."
        << QPoint();
    QTest::newRow("oneRecordCounterTwo") << QList<Fn>{up} << 2 << tap << "Error." << QPoint();
    QTest::newRow("counterBelowTwo") << QList<Fn>{up, down} << 1 << tap << "nothing" << QPoint();
}

void tst_Interaction::finder()
{
    QFETCH(QList<Fn>, functions);
    QFETCH(int, counter);
    QFETCH(QPoint, tap);
    QFETCH(QString, expected);
    QFETCH(QPoint, crossingPixel);

    Plot plot;
    GraphWidget *w = plot.w;
    for (const Fn &f : functions)
        plot.add(f.text, f.var, Qt::blue, f.enabled);
    if (counter >= 0)
        w->setNumberOfFunctions(counter);
    // The second redraw starts from the curve state the first one left, as every later one does.
    w->drawGraph();
    w->drawGraph();
    const QImage plain = w->picture().copy();
    QSignalSpy xMinSpy(w, &GraphWidget::x_min_changed);
    const int redraws = w->getRedrawCount();

    w->activateFindingIntersection();
    plot.tap(tap);
    const QImage img = w->picture();
    QVERIFY(!w->getFindingIntersection());
    QCOMPARE(w->getRedrawCount(), redraws);
    QCOMPARE(xMinSpy.count(), 0);

    const QRect textArea(tap.x() - 2, tap.y() - 20, 80, 24);
    if (expected == "nothing") {
        QCOMPARE(img, plain);
    } else if (expected == "circle") {
        // A 5-pixel circle around the crossing's pixel, nothing red.
        const int c = crossingPixel.x(), r = crossingPixel.y();
        QVERIFY(isColor(img, c - 2, r, Qt::black));
        QVERIFY(isColor(img, c + 2, r, Qt::black));
        QVERIFY(isColor(img, c, r - 2, Qt::black));
        QVERIFY(isColor(img, c, r + 2, Qt::black));
        QVERIFY(!isColor(img, c - 3, r, Qt::black));
        QVERIFY(!isColor(img, c + 3, r, Qt::black));
        QCOMPARE(countColor(img, img.rect(), QColor(255, 0, 0)), 0);
        QVERIFY(countColor(img, QRect(c + 5, r - 40, 100, 40), Qt::black) > 10); // the texts
    } else {
        QVERIFY(countColor(img, textArea, QColor(255, 0, 0)) > 5);
        QCOMPARE(countColor(img, img.rect(), Qt::black),
                 countColor(plain, plain.rect(), Qt::black));
    }

    // The overlay lasts until the next redraw.
    w->drawGraph();
    QCOMPARE(w->picture(), plain);
}

void tst_Interaction::finderOverlayTexts()
{
    // Tapped exactly between them, the lines y = 0 - x and y = x are equally near: the
    // earlier record is the first text. The search interval is symmetric about x = 0,
    // where the difference is exactly 0, so the crossing is exactly (0, 0), at the pixel
    // of the axes' crossing.
    Plot plot;
    GraphWidget *w = plot.w;
    plot.add(QStringLiteral("0-x"), 'x', Qt::blue);
    plot.add(QStringLiteral("x"), 'x', Qt::darkGreen);
    w->drawGraph();
    QImage expected = w->picture().copy();
    w->findIntersectionNear(0.0f, 0.1f);
    QImage img = w->picture().copy();

    QPainter p(&expected);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    QFont font = w->font();
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(121, 83), QStringLiteral("0-x"));
    p.drawText(QPoint(121, 93), QStringLiteral("x"));
    p.drawText(QPoint(121, 103), QStringLiteral("(0, 0)"));
    p.end();
    QVERIFY(countColor(img, QRect(121, 60, 60, 48), Qt::black) > 10);
    // The circle is checked by the finder test; here only the texts are compared.
    const QRect circle(113, 105, 7, 7);
    for (int y = circle.top(); y <= circle.bottom(); ++y)
        for (int x = circle.left(); x <= circle.right(); ++x)
            expected.setPixel(x, y, img.pixel(x, y));
    QCOMPARE(img, expected);
}

QTEST_MAIN(tst_Interaction)
#include "tst_interaction.moc"
