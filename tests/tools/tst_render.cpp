#include "app/tavlo.h"
#include "dialogs/functionset.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QMetaObject>
#include <QProcess>
#include <QSet>
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

Run render(const QStringList &args, const QProcessEnvironment &env = {})
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    // The path stays plain bytes in the binary, where tools/mutate.py looks for the tools a test
    // runs.
    p.start(QString::fromUtf8(TAVLO_RENDER), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError()),
            p.readAllStandardOutput()};
}

// "x|d00000|sin(x)" is y = sin(x) in red, "y|..." a function of y; a leading
// '!' marks it disabled (only a set file can carry that).
struct FunctionArg
{
    bool enabled;
    char var;
    QColor color;
    QString text;
};

FunctionArg functionArg(const QString &s)
{
    const bool enabled = !s.startsWith(QLatin1Char('!'));
    const QStringList p = s.mid(enabled ? 0 : 1).split(QLatin1Char('|'));
    return {enabled, p[0] == QLatin1String("x") ? 'x' : 'y', QColor::fromString("#" + p[1]), p[2]};
}

void addFunctions(GraphWidget &g, const QStringList &functions)
{
    for (const QString &f : functions) {
        const FunctionArg s = functionArg(f);
        g.addFunction(g.getNumberOfFunctions(), s.text, s.var, s.color)->setEnabled(s.enabled);
    }
}

QByteArray setBytes(const QStringList &functions)
{
    GraphWidget g;
    addFunctions(g, functions);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeFunctionSet(buffer, g.getFunctions());
    return buffer.data();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The functions as command-line arguments: one set file, or --color/--y/--x.
QStringList functionArgs(const QStringList &functions, bool viaSet, const QString &setPath)
{
    if (viaSet)
        return writeFile(setPath, setBytes(functions)) ? QStringList{"--set", setPath}
                                                       : QStringList();
    QStringList args;
    for (const QString &f : functions) {
        const FunctionArg s = functionArg(f);
        args << "--color" << s.color.name().mid(1) << (s.var == 'x' ? "--y" : "--x") << s.text;
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

// How many lines (polylines or paths) each stroke colour draws, and the view
// box followed by the width and the height.
QHash<QString, int> svgStrokes(const QString &path, QString &viewBox)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    QStringList strokes{QString()}; // the stroke in force in each open group
    QHash<QString, int> stroked;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        const auto name = xml.name();
        const auto attr = xml.attributes();
        if (xml.isStartElement() && name == QLatin1String("svg"))
            viewBox = QStringList{attr.value(QLatin1String("viewBox")).toString(),
                                  attr.value(QLatin1String("width")).toString(),
                                  attr.value(QLatin1String("height")).toString()}
                          .join(' ');
        else if (xml.isStartElement() && name == QLatin1String("g"))
            strokes << (attr.hasAttribute(QLatin1String("stroke"))
                            ? attr.value(QLatin1String("stroke")).toString().toLower()
                            : strokes.last());
        else if (xml.isEndElement() && name == QLatin1String("g"))
            strokes.removeLast();
        else if (xml.isStartElement() &&
                 (name == QLatin1String("polyline") || name == QLatin1String("path")))
            ++stroked[strokes.last()];
    }
    if (xml.hasError())
        viewBox = xml.errorString();
    return stroked;
}

// The text elements of an SVG, and the columns of its vertical grid lines.
struct SvgText
{
    QString text;
    QString anchor;
    QString fill;
    QPointF at;
    QRectF box; // from the font's metrics, as the tool measured it
};

QList<SvgText> svgTexts(const QString &path, QSet<int> &gridColumns)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    QList<SvgText> texts;
    QString stroke;
    while (!xml.atEnd()) {
        xml.readNext();
        const auto a = xml.attributes();
        if (xml.isStartElement() && xml.name() == QLatin1String("g")) {
            stroke = a.value(QLatin1String("stroke")).toString();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("path") &&
                   stroke == QLatin1String("#dcdcdc")) {
            const QStringList d = a.value(QLatin1String("d")).toString().split(QLatin1Char(' '));
            if (d.size() == 4 && d[0].mid(1) == d[2].mid(1)) // "Mc 0 Lc 216"
                gridColumns << d[0].mid(1).toInt();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("text")) {
            SvgText t{QString(), a.value(QLatin1String("text-anchor")).toString(),
                      a.value(QLatin1String("fill")).toString(),
                      QPointF(a.value(QLatin1String("x")).toDouble(),
                              a.value(QLatin1String("y")).toDouble()),
                      QRectF()};
            QFont font(a.value(QLatin1String("font-family")).toString().section(',', 0, 0));
            font.setPixelSize(a.value(QLatin1String("font-size")).toInt());
            font.setBold(a.value(QLatin1String("font-weight")) == QLatin1String("bold"));
            t.text = xml.readElementText();
            const QFontMetricsF fm(font);
            const double w = fm.horizontalAdvance(t.text);
            const double left = t.anchor == QLatin1String("middle") ? t.at.x() - w / 2
                                : t.anchor == QLatin1String("end")  ? t.at.x() - w
                                                                    : t.at.x();
            t.box = QRectF(left, t.at.y() - fm.ascent(), w, fm.ascent() + fm.descent());
            texts << t;
        }
    }
    return texts;
}

QImage rgb32(const QImage &img)
{
    return img.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class tst_Render : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void sameAsWindow_data()
    {
        QTest::addColumn<QStringList>("window");
        QTest::addColumn<QStringList>("functions");
        QTest::addColumn<bool>("viaSet");
        QTest::addColumn<bool>("unbroken"); // every curve is one polyline in the SVG

        QTest::newRow("boundExpressionsGridAndStepOne")
            << QStringList{"--bounds", "-2*pi()", "2*pi()", "-3", "3", "--grid",
                           "pi()/2",   "0.5",     "--step", "1",  "1"}
            << QStringList{"x|008000|tan(x)", "y|c000c0|2*cos(y)"} << false << false;
        QTest::newRow("noGridOddStepsOffOrigin")
            << QStringList{"--bounds", "5", "15", "-8", "8", "--no-grid", "--step", "3", "2"}
            << QStringList{"x|000000|x^2/4-6", "y|d07000|y+10"} << false << false;
        QTest::newRow("rewritesAndReference")
            << QStringList() << QStringList{"x|0000d0|x**2/10", "x|d00000|f(0)-2*pi"} << false
            << true;
        QTest::newRow("setFileWithDisabledFunction")
            << QStringList() << QStringList{"x|d00000|x/2", "!x|00ff00|-x", "y|0000d0|sin(y)*4"}
            << true << true;
    }

    // At the window's plot size the tool's PNG is the plot widget's picture
    // exactly; its SVG is well formed and strokes, besides grid and axes,
    // exactly the enabled functions in their colours.
    void sameAsWindow()
    {
        QFETCH(QStringList, window);
        QFETCH(QStringList, functions);
        QFETCH(bool, viaSet);
        QFETCH(bool, unbroken);

        GraphWidget g(nullptr, "graph1");
        g.setGeometry(QRect(QPoint(1, 1), QPoint(232, 216)));
        applyWindowOptions(g, window);
        addFunctions(g, functions);
        g.drawGraph();

        const QStringList args = window + functionArgs(functions, viaSet, path("same.tvs"));
        QCOMPARE(render(args + QStringList{"-o", path("same.png")}).code, 0);
        const QImage actual = rgb32(QImage(path("same.png")));
        QSet<QString> expected{QStringLiteral("#8c8c8c")};
        if (!window.contains(QStringLiteral("--no-grid")))
            expected << QStringLiteral("#dcdcdc");
        // Two equally blank pictures would prove nothing: every enabled curve shows.
        for (const QString &f : functions) {
            bool shown = false;
            for (int i = 0; i < actual.width() * actual.height(); ++i)
                shown |= actual.pixel(i % actual.width(), i / actual.width()) ==
                         functionArg(f).color.rgb();
            QCOMPARE(shown, functionArg(f).enabled);
            if (functionArg(f).enabled)
                expected << functionArg(f).color.name();
        }
        QVERIFY(actual == rgb32(g.picture()));

        QCOMPARE(render(args + QStringList{"-o", path("same.svg")}).code, 0);
        QString viewBox;
        const QHash<QString, int> strokes = svgStrokes(path("same.svg"), viewBox);
        QCOMPARE(QSet<QString>(strokes.keyBegin(), strokes.keyEnd()), expected);
        for (const QString &f : functions)
            if (functionArg(f).enabled && unbroken)
                QCOMPARE(strokes.value(functionArg(f).color.name()), 1);
        QCOMPARE(viewBox, QStringLiteral("0 0 232 216 232px 216px")); // as large as the PNG
    }

    // The same against the main window's own plot after it added functions and
    // redrew as it does for the user.
    void sameAsMainWindow()
    {
        Tavlo window;
        addFunctions(*window.getGraph(), {"x|008000|x^3/50", "y|d00000|4*sin(y)"});
        window.fBoxMake();
        QVERIFY(QMetaObject::invokeMethod(&window, "functionChange", Q_ARG(int, 1)));

        const QString out = path("window.png");
        const Run r = render({"--color", "008000", "--y", "x^3/50", "--color", "d00000", "--x",
                              "4*sin(y)", "-o", out});
        QCOMPARE(r.code, 0);
        QVERIFY(rgb32(QImage(out)) == rgb32(window.getGraph()->picture()));
    }

    // Neither a display nor a platform given: the tool takes the offscreen one.
    void sizeOptionWithoutDisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        const QString out = path("size.png");
        QCOMPARE(render({"--size", "464x100", "-o", out}, env).code, 0);
        const QImage img(out);
        QCOMPARE(img.size(), QSize(464, 100));
        // The axes follow the size: x = 0 at column 232, y = 0 at row 50.
        QCOMPARE(img.pixel(232, 10), qRgb(140, 140, 140));
        QCOMPARE(img.pixel(10, 50), qRgb(140, 140, 140));
    }

    void decorations_data()
    {
        QTest::addColumn<QStringList>("window");
        QTest::addColumn<QStringList>("functions");

        QTest::newRow("defaultSizeThinnedGrid")
            << QStringList{"--title", "Three"}
            << QStringList{"x|d00000|sin(x)", "x|0000d0|x^2/10", "y|008000|y^2/4-3"};
        QTest::newRow("gridOfPiAxesInside")
            << QStringList{"--size", "640x400", "--bounds", "-2*pi()", "2*pi()",
                           "-3",     "3",       "--grid",   "pi()/2",  "0.5"}
            << QStringList{"x|008000|tan(x)", "x|c000c0|atan2(x,1)"};
        QTest::newRow("noGridAxesOutsideOnEdges")
            << QStringList{"--size", "600x400", "--bounds", "2", "9", "3", "7", "--no-grid"}
            << QStringList{"x|d00000|sin(x)+5"};
        QTest::newRow("tinyGridFarFromZero")
            << QStringList{"--size", "300x300", "--bounds", "1000", "1001",       "-0.001",
                           "0.001",  "--grid",  "0.01",     "1E-4", "--antialias"}
            << QStringList{"x|0000d0|(x-1000.5)/500"};
    }

    // --axes numbers sit on the lines they name and keep apart; --legend names
    // each drawn function in its colour; neither changes how the curves look.
    void decorations()
    {
        QFETCH(QStringList, window);
        QFETCH(QStringList, functions);

        const QStringList args =
            window + QStringList{"--axes", "--legend"} + functionArgs(functions, false, QString());
        QCOMPARE(render(args + QStringList{"-o", path("deco.svg")}).code, 0);
        GraphWidget g;
        const int size = window.indexOf(QStringLiteral("--size"));
        const QStringList wh = size < 0 ? QStringList{"232", "216"} : window[size + 1].split('x');
        g.setGeometry(QRect(0, 0, wh[0].toInt(), wh[1].toInt()));
        applyWindowOptions(g, window);
        g.drawGraph();

        QSet<int> gridColumns;
        const QList<SvgText> texts = svgTexts(path("deco.svg"), gridColumns);
        int xNumbers = 0, yNumbers = 0;
        QSet<QString> legend;
        for (int i = 0; i < texts.size(); ++i) {
            const SvgText &t = texts[i];
            for (int j = 0; j < i; ++j)
                QVERIFY2(!t.box.intersects(texts[j].box), qPrintable(t.text + " " + texts[j].text));
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
                QVERIFY(!g.getGridEnabled() || gridColumns.contains(int(t.at.x())));
            } else {
                ++yNumbers;
                const float row = g.getPixYMax() - (v - g.getYMin()) / g.getYUnitsPerPixel();
                QVERIFY2(std::fabs(t.box.center().y() - row) <= 1.5, qPrintable(t.text));
            }
        }
        QVERIFY(xNumbers >= 2 && yNumbers >= 2);
        QSet<QString> drawn;
        for (const QString &f : functions)
            drawn << functionArg(f).text + '|' + functionArg(f).color.name();
        if (window.contains(QStringLiteral("--title")))
            drawn << window[window.indexOf(QStringLiteral("--title")) + 1] + "|#000000";
        QCOMPARE(legend, drawn);

        // On the PNG, every curve colour shows, the numbers' too, and only with
        // --antialias colours in between.
        QCOMPARE(render(args + QStringList{"-o", path("deco.png")}).code, 0);
        const QImage img = rgb32(QImage(path("deco.png")));
        QSet<QRgb> colors;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                colors << img.pixel(x, y);
        QVERIFY(colors.contains(qRgb(80, 80, 80)));
        for (const QString &f : functions)
            QVERIFY(colors.contains(functionArg(f).color.rgb()));
        QCOMPARE(colors.size() > 64, window.contains(QStringLiteral("--antialias")));
    }

    void table_data()
    {
        QTest::addColumn<QStringList>("window");
        QTest::addColumn<QStringList>("functions");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("header");

        QTest::newRow("defaultBoundsOneFunction")
            << QStringList() << QStringList{"x|d00000|sin(x)"} << 7 << "x,sin(x)";
        QTest::newRow("bothVariablesReferenceNanInf") // 0 is the middle row
            << QStringList{"--bounds", "-1", "1", "-pi()/pi()", "1"}
            << QStringList{"x|d00000|ln(x)", "y|0000d0|1/y", "x|008000|f(0)*2+atan2(x,1)",
                           "!x|000000|x"}
            << 1001 << "x,y,ln(x),1/y,\"f(0)*2+atan2(x,1)\"";
    }

    // --table gives exactly the engine's doubles, at evenly spaced values from
    // bound to bound, to standard output or to the .csv file alike.
    void table()
    {
        QFETCH(QStringList, window);
        QFETCH(QStringList, functions);
        QFETCH(int, rows);
        QFETCH(QString, header);

        const QStringList args = window + QStringList{"--table", QString::number(rows)} +
                                 functionArgs(functions, true, path("table.tvs"));
        const Run r = render(args);
        QCOMPARE(r.code, 0);
        QCOMPARE(render(args + QStringList{"-o", path("table.csv")}).code, 0);
        QFile file(path("table.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), r.out);

        GraphWidget g;
        applyWindowOptions(g, window);
        addFunctions(g, functions);
        QList<Function *> drawn;
        for (Function *f = g.getFunctions(); f; f = f->getNextFunction())
            if (f->getEnabled())
                drawn << f;
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), rows + 2); // header, rows, the empty rest after the last break
        QCOMPARE(QString::fromUtf8(lines[0]), header);
        auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
        const bool ofY = header.startsWith(QLatin1String("x,y,"));
        for (int i = 1; i <= rows; ++i) {
            QList<double> v;
            for (const QByteArray &field : lines[i].split(','))
                v << std::strtod(field.constData(), nullptr);
            QCOMPARE(v.size(), (ofY ? 2 : 1) + drawn.size());
            if (i == 1 || i == rows) {
                QVERIFY(same(v[0], i == 1 ? g.getXMin() : g.getXMax()));
                QVERIFY(!ofY || same(v[1], i == 1 ? g.getYMin() : g.getYMax()));
            }
            for (int k = 0; k < drawn.size(); ++k) {
                const double expected =
                    drawn[k]->evaluate(v[drawn[k]->getIndepVariable() == 'x' ? 0 : 1]);
                const double got = v[(ofY ? 2 : 1) + k];
                QVERIFY2(same(got, expected) || (std::isnan(got) && std::isnan(expected)),
                         lines[i].constData());
            }
        }
        QCOMPARE(r.out.contains("\n0,0,-inf,inf,-inf\n") && r.out.contains(",nan,"), ofY);
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");   // OUT stands for the output path
        QTest::addColumn<QByteArray>("setFile"); // written to bad.tvs when not empty
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("messages"); // each must appear on standard error

        const QByteArray none;
        const QString set = path("bad.tvs");
        QByteArray badMagic;
        QDataStream(&badMagic, QIODevice::WriteOnly) << qint32(5126) << qint32(1) << qint32(-1);
        const QByteArray good = setBytes({"x|d00000|sin(x)", "y|0000d0|y"});

        // The engine's message, the column and a caret under it.
        QTest::newRow("unmatchedParen_col5")
            << QStringList{"--y", "sin(x", "-o", "OUT"} << none << 2
            << QStringList{"--y 'sin(x': unmatched parentheses at column 5\n  sin(x\n      ^\n"};
        QTest::newRow("missingOperandPastEnd_col3")
            << QStringList{"--y", "x*", "-o", "OUT"} << none << 2
            << QStringList{"missing operand at column 3\n  x*\n    ^\n"};
        QTest::newRow("missingReference_noColumn")
            << QStringList{"--y", "f(9)+1", "-o", "OUT"} << none << 2
            << QStringList{"--y 'f(9)+1': function not found (no function 9 is given before "
                           "this one)\n  f(9)+1\n"};
        QTest::newRow("boundNotPrepared_hint") // bounds are compiled as typed: a bare pi fails
            << QStringList{"--bounds", "-pi", "pi", "-1", "1", "-o", "OUT"} << none << 2
            << QStringList{"XMIN '-pi': improper function syntax at column 4 (write pi())"};
        QTest::newRow("lowerCaseExponent_hint")
            << QStringList{"--y", "1e-3*x", "-o", "OUT"} << none << 2
            << QStringList{"undeclared parameter at column 2 (write 1E-3)"};
        QTest::newRow("equalBounds") << QStringList{"--bounds", "1", "2-1", "0", "1", "-o", "OUT"}
                                     << none << 2 << QStringList{"XMIN and XMAX are both 1"};
        QTest::newRow("reversedBounds")
            << QStringList{"--bounds", "-10", "10", "10", "-10", "-o", "OUT"} << none << 2
            << QStringList{"YMIN (10) is above YMAX (-10)"};
        QTest::newRow("tableOfOneRow") << QStringList{"--table", "1", "--y", "x"} << none << 1
                                       << QStringList{"--table wants a whole number"};
        QTest::newRow("tableToPicture") << QStringList{"--table", "5", "-o", "OUT"} << none << 1
                                        << QStringList{"must end in .csv"};
        QTest::newRow("csvWithoutTable")
            << QStringList{"--y", "x", "-o", "OUT.csv"} << none << 1 << QStringList{"--table N"};
        QTest::newRow("titleWithoutText") << QStringList{"-o", "OUT", "--title"} << none << 1
                                          << QStringList{"--title needs 1 value"};

        QTest::newRow("unknownOption") << QStringList{"--frobnicate", "-o", "OUT"} << none << 1
                                       << QStringList{"unknown option '--frobnicate'", "usage:"};
        QTest::newRow("optionIsNoValue") << QStringList{"--bounds", "1", "2", "-o", "OUT"} << none
                                         << 1 << QStringList{"--bounds needs 4 values"};
        QTest::newRow("colorWithoutFunction")
            << QStringList{"--y", "x", "--color", "red", "-o", "OUT"} << none << 1
            << QStringList{"not followed by --y or --x"};

        QTest::newRow("setMissing") << QStringList{"--set", path("none.tvs"), "-o", "OUT"} << none
                                    << 3 << QStringList{"cannot read set file"};
        QTest::newRow("setBadMagic") << QStringList{"--set", set, "-o", "OUT"} << badMagic << 3
                                     << QStringList{"is not a Tavlo function set"};
        QTest::newRow("setCutShort")
            << QStringList{"--set", set, "-o", "OUT"} << good.left(good.size() - 10) << 3
            << QStringList{"is damaged"};
        QTest::newRow("setWithBadFunction")
            << QStringList{"--set", set, "-o", "OUT"} << setBytes({"x|d00000|x", "x|0000d0|sin(x"})
            << 2 << QStringList{"function 1 of set", "unmatched parentheses at column 5"};

        QTest::newRow("outputUnwritable") << QStringList{"--y", "x", "-o", path("no/dir/out.png")}
                                          << none << 4 << QStringList{"cannot write"};
        QTest::newRow("tableUnwritable")
            << QStringList{"--table", "3", "--y", "x", "-o", path("no/dir/out.csv")} << none << 4
            << QStringList{"cannot write"};
    }

    // Bad input stops the tool with its exit status and a message, and writes nothing.
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, setFile);
        QFETCH(int, code);
        QFETCH(QStringList, messages);

        if (!setFile.isEmpty())
            QVERIFY(writeFile(path("bad.tvs"), setFile));
        const QString out = path("error.png");
        const Run r = render(args.replaceInStrings(QStringLiteral("OUT"), out));
        QCOMPARE(r.code, code);
        for (const QString &m : messages)
            QVERIFY2(r.err.contains(m), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList({"error*"}, QDir::Files), QStringList());
    }

private:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
};

QTEST_MAIN(tst_Render)
#include "tst_render.moc"
