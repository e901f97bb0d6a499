#include "app/tavlo.h"
#include "model/functionset.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

struct Run
{
    int code = -1;
    QString err;
    QByteArray out;
};

// Neither a display nor a platform is given: the tool takes the offscreen one. The
// tool's path stays plain bytes in the binary, where tools/mutate.py looks for it.
Run render(const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QString::fromUtf8(TAVLO_RENDER), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError()),
            p.readAllStandardOutput()};
}

// "x|d00000|sin(x)" is y = sin(x) in red, "y|..." a function of y; a leading
// '!' marks it disabled (only a set file can carry that); a '*' before the
// colour leaves it to the tool, whose colours in turn start d00000, 0000d0.
QList<Function *> addFunctions(GraphWidget &g, const QString &functions)
{
    QList<Function *> added;
    for (const QString &s : functions.split(QLatin1Char(' '))) {
        const QStringList p = s.mid(s.startsWith('!') ? 1 : 0).split('|');
        added << g.addFunction(g.getNumberOfFunctions(), p[2], p[0][0].toLatin1(),
                               QColor::fromString("#" + p[1].mid(p[1].startsWith('*'))));
        added.last()->setEnabled(!s.startsWith('!'));
    }
    return added;
}

// Writes the functions to a set file, less its last `cut` bytes.
void writeSet(const QString &path, const QString &functions, int cut = 0)
{
    GraphWidget g;
    addFunctions(g, functions);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && writeFunctionSet(file, g.getFunctions()));
    QVERIFY(file.resize(file.size() - cut));
}

// The functions as command-line arguments: a set file when a path is given,
// or else --color/--y/--x.
QStringList functionArgs(const QString &functions, const QString &setPath = QString())
{
    if (!setPath.isEmpty()) {
        writeSet(setPath, functions);
        return {"--set", setPath};
    }
    QStringList args;
    for (const QString &s : functions.split(QLatin1Char(' '))) {
        const QStringList p = s.split('|');
        if (!p[1].startsWith('*'))
            args << "--color" << p[1];
        args << (p[0] == QLatin1String("x") ? "--y" : "--x") << p[2];
    }
    return args;
}

// What the window's fields and options dialog do for the same window options.
void applyWindowOptions(GraphWidget &g, const QStringList &a)
{
    for (int i = 0; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--bounds")) {
            g.change_x_min(a[++i]);
            g.change_x_max(a[++i]);
            g.change_y_min(a[++i]);
            g.change_y_max(a[++i]);
        } else if (a[i] == QLatin1String("--grid")) {
            g.change_grid_x(a[++i]);
            g.change_grid_y(a[++i]);
        } else if (a[i] == QLatin1String("--no-grid")) {
            g.toggle_grid();
        } else if (a[i] == QLatin1String("--step")) {
            g.setXStep(a[++i].toInt());
            g.setYStep(a[++i].toInt());
        }
    }
}

struct SvgText
{
    QString text;
    QString anchor;
    QString fill;
    QPointF at;
    QRectF box; // from the font's metrics, as the tool measured it
};

struct Svg
{
    QString size;              // view box, width and height
    QHash<QString, int> lines; // polylines and paths per stroke colour
    QSet<int> gridColumns;     // of the vertical grid lines
    QList<SvgText> texts;
};

Svg readSvg(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    Svg svg;
    QStringList strokes{QString()}; // the stroke in force in each open group
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        const QString name = xml.name().toString();
        const QXmlStreamAttributes a = xml.attributes();
        const auto attr = [&a](const char *n) { return a.value(QLatin1String(n)).toString(); };
        if (xml.isEndElement() && name == QLatin1String("g"))
            strokes.removeLast();
        if (!xml.isStartElement())
            continue;
        if (name == QLatin1String("svg")) {
            svg.size = attr("viewBox") + ' ' + attr("width") + ' ' + attr("height");
        } else if (name == QLatin1String("g")) {
            strokes << (a.hasAttribute(QLatin1String("stroke")) ? attr("stroke").toLower()
                                                                : strokes.last());
        } else if (name == QLatin1String("polyline") || name == QLatin1String("path")) {
            ++svg.lines[strokes.last()];
            const QStringList d = attr("d").split(' ');
            if (strokes.last() == QLatin1String("#dcdcdc") && d.size() == 4 &&
                d[0].mid(1) == d[2].mid(1)) // "Mc 0 Lc 216"
                svg.gridColumns << d[0].mid(1).toInt();
        } else if (name == QLatin1String("text")) {
            SvgText t{QString(), attr("text-anchor"), attr("fill"),
                      QPointF(attr("x").toDouble(), attr("y").toDouble()), QRectF()};
            QFont font(attr("font-family").section(',', 0, 0));
            font.setPixelSize(attr("font-size").toInt());
            font.setBold(attr("font-weight") == QLatin1String("bold"));
            t.text = xml.readElementText();
            const QFontMetricsF fm(font);
            const double w = fm.horizontalAdvance(t.text);
            const double left = t.anchor == QLatin1String("middle") ? t.at.x() - w / 2
                                : t.anchor == QLatin1String("end")  ? t.at.x() - w
                                                                    : t.at.x();
            t.box = QRectF(left, t.at.y() - fm.ascent(), w, fm.ascent() + fm.descent());
            svg.texts << t;
        }
    }
    if (xml.hasError())
        svg.size = xml.errorString();
    return svg;
}

} // namespace

class tst_Render : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void pictures_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("functions"); // a disabled one needs a set file
        QTest::addColumn<bool>("unbroken");     // every curve is one polyline in the SVG

        // Without --axes or --legend, the main window's plot pixel for pixel.
        QTest::newRow("boundExpressionsGridAndStepOne")
            << "--bounds -2*pi() 2*pi() -3 3 --grid pi()/2 0.5 --step 1 1"
            << "x|008000|tan(x) y|c000c0|2*cos(y)" << false;
        QTest::newRow("noGridOddStepsOffOrigin") << "--bounds 5 15 -8 8 --no-grid --step 3 2"
                                                 << "x|000000|x^2/4-6 y|d07000|y+10" << false;
        QTest::newRow("rewritesAndReference") << ""
                                              << "x|0000d0|x**2/10 x|d00000|f(0)-2*pi" << true;
        QTest::newRow("setFileWithDisabledFunction")
            << ""
            << "x|d00000|x/2 !x|00ff00|-x y|0000d0|sin(y)*4" << true;
        QTest::newRow("axesLegendTitleThinnedGrid")
            << "--axes --legend --title Three"
            << "x|*d00000|sin(x) x|*0000d0|x^2/10 y|008000|y^2/4-3" << false;
        QTest::newRow("axesLegendOfSetWithDisabledFunction")
            << "--axes --legend"
            << "x|d00000|x/2 !x|00ff00|-x" << false;
        QTest::newRow("axesLegendGridOfPiAxesInside")
            << "--axes --legend --size 640x400 --bounds -2*pi() 2*pi() -3 3 --grid pi()/2 0.5"
            << "x|008000|tan(x) x|c000c0|atan2(x,1)" << false;
        QTest::newRow("axesLegendNoGridAxesOutsideOnEdges")
            << "--axes --legend --size 600x400 --bounds 2 9 3 7 --no-grid"
            << "x|d00000|sin(x)+5" << false;
        QTest::newRow("axesLegendTinyGridFarFromZeroAntialiased")
            << "--axes --legend --size 300x300 --bounds 1000 1001 -0.001 0.001 --grid 0.01 1E-4 "
               "--antialias"
            << "x|0000d0|(x-1000.5)/500" << false;
    }

    // The PNG and the SVG are as large as asked; the SVG is well formed and
    // strokes, besides grid and axes, exactly the enabled functions in their
    // colours. --axes numbers sit on the lines they name and keep apart;
    // --legend names each function in its colour.
    void pictures()
    {
        QFETCH(QString, options);
        QFETCH(QString, functions);
        QFETCH(bool, unbroken);
        const QStringList opts = options.split(' ', Qt::SkipEmptyParts);

        // The main window's own plot at its size and standard bounds (it writes
        // typed bounds back rounded), else a plot of the window's or the given size.
        const int at = opts.indexOf(QStringLiteral("--size"));
        const QString size = at < 0 ? QStringLiteral("232x216") : opts[at + 1];
        Tavlo main;
        GraphWidget sized;
        sized.setGeometry(
            QRect(0, 0, size.section('x', 0, 0).toInt(), size.section('x', 1, 1).toInt()));
        const bool window = at < 0 && !opts.contains(QStringLiteral("--bounds"));
        GraphWidget &g = window ? *main.getGraph() : sized;
        applyWindowOptions(g, opts);
        const QList<Function *> added = addFunctions(g, functions);
        main.fBoxMake();
        QVERIFY(QMetaObject::invokeMethod(&main, "functionChange", Q_ARG(int, 1)));
        g.drawGraph();

        const bool viaSet = functions.contains('!');
        const QStringList args =
            opts + functionArgs(functions, viaSet ? path("pic.tvs") : QString());
        QCOMPARE(render(args + QStringList{"-o", path("pic.png")}).code, 0);
        QCOMPARE(render(args + QStringList{"-o", path("pic.svg")}).code, 0);
        const QImage png = QImage(path("pic.png")).convertToFormat(QImage::Format_RGB32);
        const Svg svg = readSvg(path("pic.svg"));
        QCOMPARE(svg.size, QStringLiteral("0 0 %1 %2 %1px %2px").arg(g.width()).arg(g.height()));
        const bool decorated = opts.contains(QStringLiteral("--axes"));
        QVERIFY(decorated || png == g.picture().convertToFormat(QImage::Format_RGB32));

        QSet<QRgb> shown;
        for (int i = 0; i < png.width() * png.height(); ++i)
            shown << png.pixel(i % png.width(), i / png.width());
        QCOMPARE(shown.size() > 64, opts.contains(QStringLiteral("--antialias")));
        QSet<QString> stroked, named;
        if (g.getXMin() * g.getXMax() <= 0 || g.getYMin() * g.getYMax() <= 0)
            stroked << QStringLiteral("#8c8c8c");
        if (g.getGridEnabled())
            stroked << QStringLiteral("#dcdcdc");
        if (opts.contains(QStringLiteral("--title")))
            named << opts[opts.indexOf(QStringLiteral("--title")) + 1] + "|#000000";
        for (const Function *f : added) {
            // Two equally blank pictures would prove nothing: every enabled curve shows.
            QCOMPARE(shown.contains(f->getColor().rgb()), f->getEnabled());
            if (f->getEnabled()) {
                stroked << f->getColor().name();
                named << f->getString() + '|' + f->getColor().name();
            }
            if (unbroken && f->getEnabled())
                QCOMPARE(svg.lines.value(f->getColor().name()), 1);
        }
        QCOMPARE(QSet<QString>(svg.lines.keyBegin(), svg.lines.keyEnd()), stroked);
        if (!decorated)
            return;

        QVERIFY(shown.contains(qRgb(80, 80, 80)));
        int xNumbers = 0, yNumbers = 0;
        QSet<QString> legend;
        for (int i = 0; i < svg.texts.size(); ++i) {
            const SvgText &t = svg.texts[i];
            for (int j = 0; j < i; ++j)
                QVERIFY2(!t.box.intersects(svg.texts[j].box),
                         qPrintable(t.text + " " + svg.texts[j].text));
            if (t.fill != QLatin1String("#505050")) {
                legend << t.text + '|' + t.fill;
                continue;
            }
            bool ok = false;
            const float v = t.text.toFloat(&ok);
            QVERIFY2(ok, qPrintable(t.text));
            if (t.anchor == QLatin1String("middle")) { // along the x axis or edge
                ++xNumbers;
                // Within the pixel's truncation and the six digits' rounding
                // (a grid line far from 0 sits where its running sum lands).
                const float column = (v - g.getXMin()) / g.getXUnitsPerPixel();
                const float digit =
                    0.5f * std::pow(10.0f, std::floor(std::log10(std::fabs(v))) - 5);
                QVERIFY2(std::fabs(t.at.x() - column) <= 1.5f + digit / g.getXUnitsPerPixel(),
                         qPrintable(t.text));
                QVERIFY(!g.getGridEnabled() || svg.gridColumns.contains(int(t.at.x())));
            } else {
                ++yNumbers;
                const float row = g.getPixYMax() - (v - g.getYMin()) / g.getYUnitsPerPixel();
                QVERIFY2(std::fabs(t.box.center().y() - row) <= 1.5, qPrintable(t.text));
            }
        }
        QVERIFY(xNumbers >= 2 && yNumbers >= 2);
        QCOMPARE(legend, named);
    }

    void table_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("functions");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("header");

        QTest::newRow("defaultBoundsOneFunction") << ""
                                                  << "x|d00000|sin(x)" << 7 << "x,sin(x)";
        QTest::newRow("bothVariablesReferenceNanInf") // 0 is the middle row
            << "--bounds -1 1 -pi()/pi() 1"
            << "x|d00000|ln(x) y|0000d0|1/y x|008000|f(0)*2+atan2(x,1) !x|000000|x" << 1001
            << "x,y,ln(x),1/y,\"f(0)*2+atan2(x,1)\"";
    }

    // --table gives exactly the engine's doubles, at evenly spaced values from
    // bound to bound, to standard output or to the .csv file alike.
    void table()
    {
        QFETCH(QString, options);
        QFETCH(QString, functions);
        QFETCH(int, rows);
        QFETCH(QString, header);

        const QStringList opts = options.split(' ', Qt::SkipEmptyParts);
        const QStringList args = opts + QStringList{"--table", QString::number(rows)} +
                                 functionArgs(functions, path("table.tvs"));
        const Run r = render(args);
        QCOMPARE(r.code, 0);
        QCOMPARE(render(args + QStringList{"-o", path("table.csv")}).code, 0);
        QFile file(path("table.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), r.out);

        GraphWidget g;
        applyWindowOptions(g, opts);
        QList<Function *> drawn = addFunctions(g, functions);
        drawn.removeIf([](const Function *f) { return !f->getEnabled(); });
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), rows + 2); // header, rows, the empty rest after the last break
        QCOMPARE(QString::fromUtf8(lines[0]), header);
        auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
        const int ofY = header.startsWith(QLatin1String("x,y,")) ? 1 : 0;
        for (int i = 1; i <= rows; ++i) {
            QList<double> v;
            for (const QByteArray &field : lines[i].split(','))
                v << std::strtod(field.constData(), nullptr);
            QCOMPARE(v.size(), 1 + ofY + drawn.size());
            if (i == 1 || i == rows) {
                QVERIFY(same(v[0], i == 1 ? g.getXMin() : g.getXMax()));
                QVERIFY(!ofY || same(v[1], i == 1 ? g.getYMin() : g.getYMax()));
            }
            for (int k = 0; k < drawn.size(); ++k) {
                const double want =
                    drawn[k]->evaluate(v[drawn[k]->getIndepVariable() == 'x' ? 0 : 1]);
                const double got = v[1 + ofY + k];
                QVERIFY2(same(got, want) || (std::isnan(got) && std::isnan(want)),
                         lines[i].constData());
            }
        }
        QCOMPARE(r.out.contains("\n0,0,-inf,inf,-inf\n") && r.out.contains(",nan,"), ofY == 1);
    }

    void exitStatus_data()
    {
        QTest::addColumn<QString>("args"); // OUT stands for a .png in DIR, the test's folder
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // its parts, split at '|', on standard error

        QFile magic(path("magic.tvs"));
        QVERIFY(magic.open(QIODevice::WriteOnly));
        QDataStream(&magic) << qint32(5126) << qint32(1) << qint32(-1);
        writeSet(path("short.tvs"), "x|d00000|sin(x) y|0000d0|y", 10);
        writeSet(path("badfn.tvs"), "x|d00000|x x|0000d0|sin(x");

        QTest::newRow("largestSizeStepCapitalPng")
            << "--size 4096x2 --step 10 10 -o OUT.PNG" << 0 << "";
        // The engine's message, the column and a caret under it.
        QTest::newRow("unmatchedParen_col5")
            << "--y sin(x -o OUT" << 2
            << "--y 'sin(x': unmatched parentheses at column 5\n  sin(x\n      ^\n";
        QTest::newRow("boundNotPrepared_hint")
            << "--bounds -pi pi -1 1 -o OUT" << 2
            << "XMIN '-pi': improper function syntax at column 4 (write pi())";
        QTest::newRow("lowerCaseExponent_hint")
            << "--y 1e-3*x -o OUT" << 2 << "undeclared parameter at column 2 (write 1E-3)";
        QTest::newRow("gridOfZero")
            << "--grid 0 1 -o OUT" << 2 << "a spacing must be greater than 0";
        QTest::newRow("tableOfOneRow") << "--table 1 --y x" << 1 << "--table wants a whole number";
        QTest::newRow("unknownOption")
            << "--frobnicate -o OUT" << 1 << "unknown option '--frobnicate'|usage:";
        QTest::newRow("colorWithoutFunction")
            << "--y x --color red -o OUT" << 1 << "not followed by --y or --x";
        QTest::newRow("setMissing") << "--set DIR/none.tvs -o OUT" << 3 << "cannot read set file";
        QTest::newRow("setBadMagic")
            << "--set DIR/magic.tvs -o OUT" << 3 << "is not a Tavlo function set";
        QTest::newRow("setCutShort") << "--set DIR/short.tvs -o OUT" << 3 << "is damaged";
        QTest::newRow("setWithBadFunction")
            << "--set DIR/badfn.tvs -o OUT" << 2
            << "function 1 of set|unmatched parentheses at column 5";
        QTest::newRow("outputUnwritable") << "--y x -o DIR/no/out.png" << 4 << "cannot write";
    }

    // Bad input stops the tool with its exit status and a message, and writes
    // nothing; good input writes the picture alone.
    void exitStatus()
    {
        QFETCH(QString, args);
        QFETCH(int, code);
        QFETCH(QString, message);

        QStringList argv = args.split(' ');
        for (QString &a : argv)
            a = a.startsWith(QLatin1String("OUT")) ? path("out") + (a == "OUT" ? ".png" : a.mid(3))
                : a.startsWith(QLatin1String("DIR")) ? dir.path() + a.mid(3)
                                                     : a;
        const Run r = render(argv);
        QCOMPARE(r.code, code);
        for (const QString &part : message.split('|'))
            QVERIFY2(r.err.contains(part), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        const QStringList written = QDir(dir.path()).entryList({"out*"}, QDir::Files);
        QCOMPARE(written.size(), code == 0 ? 1 : 0);
        for (const QString &name : written)
            QVERIFY(QFile::remove(dir.filePath(name)));
    }

private:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
};

QTEST_MAIN(tst_Render)
#include "tst_render.moc"
