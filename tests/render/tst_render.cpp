#include "app/tavlo.h"
#include "model/function.h"
#include "model/functionset.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"
#include "render/decorations.h"
#include "render/options.h"
#include "render/picture.h"
#include "render/plotsetup.h"
#include "render/points.h"
#include "render/render.h"
#include "render/svg.h"
#include "render/table.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <csignal>
#include <cstring>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run
{
    int code = -1;
    QString err;
};

// The program itself, for what only a process shows: told to use a display
// that is not there, which it must not need. With `asNobody` a root test runs
// it as user nobody, whom file permissions bind.
Run program(const QStringList &args, bool asNobody = false, const QString &stdoutFile = {})
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"})
        e.remove(QLatin1String(name));
    e.insert("QT_QPA_PLATFORM", "xcb");
    QProcess p;
    p.setProcessEnvironment(e);
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    if (asNobody && geteuid() == 0)
        p.setChildProcessModifier([] { (void)!(setgid(65534) || setuid(65534)); });
    p.start(QString::fromUtf8(TAVLO_RENDER), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

// A run in process, as main() makes it once the toolkit runs.
Run inProcess(const QStringList &args)
{
    const ParseResult parsed = parseRenderOptions(args);
    if (!parsed.error.isEmpty())
        return {ExitUsage, parsed.error};
    GraphWidget g;
    const RenderStatus s = render(g, parsed.options);
    return {s.code, s.message};
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

struct Svg
{
    QString size;                  // view box, width and height
    QHash<QString, int> lines;     // polylines and paths per stroke colour
    QHash<QString, int> polylines; // polylines alone
    QList<int> gridColumns;        // of the vertical grid lines
    QStringList texts;
};

Svg readSvg(const QByteArray &data)
{
    QXmlStreamReader xml(data);
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
            svg.polylines[strokes.last()] += name == QLatin1String("polyline");
            const QStringList d = attr("d").split(' ');
            if (strokes.last() == QLatin1String("#dcdcdc") && d.size() == 4 &&
                d[0].mid(1) == d[2].mid(1)) // "Mc 0 Lc 216"
                svg.gridColumns << d[0].mid(1).toInt();
        } else if (name == QLatin1String("text")) {
            svg.texts << xml.readElementText();
        }
    }
    return svg;
}

// The graph as the tool sets it up for these arguments.
void setUp(GraphWidget &g, RenderOptions &o, const QStringList &args)
{
    const ParseResult parsed = parseRenderOptions(args);
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    o = parsed.options;
    const RenderStatus s = setUpGraph(g, o);
    QVERIFY2(s.ok(), qPrintable(s.message));
}

} // namespace

class tst_Render : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // Numbers as a locale with a decimal comma writes them (its messages
        // would be German); made when the machine lacks one.
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
            QCOMPARE(QProcess::execute("localedef",
                                       {"-i", "de_DE", "-f", "UTF-8", dir.filePath("de_DE.UTF-8")}),
                     0);
            qputenv("LOCPATH", QFile::encodeName(dir.path()));
            QVERIFY(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
        }
    }
    void pictures_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("functions"); // a disabled one needs a set file
        QTest::addColumn<bool>("unbroken");     // every curve is one polyline in the SVG
        QTest::addColumn<QString>("texts");     // title, numbers that must show, '|'-separated

        // Without --axes or --legend, the main window's plot pixel for pixel.
        QTest::newRow("rewritesAndReference")
            << ""
            << "x|0000d0|x**2/10 x|d00000|f(0)-2*pi" << true << "";
        QTest::newRow("setFileWithDisabledFunction")
            << ""
            << "x|d00000|x/2 !x|00ff00|-x y|0000d0|sin(y)*4" << true << "";
        QTest::newRow("onePaletteBit") << "--no-grid --bounds 1 2 1 2"
                                       << "x|000000|x" << true << "";
        QString many = QStringLiteral("x|111111|x-7");
        for (int k = 2; k < 15; ++k)
            many +=
                QStringLiteral(" x|%1|x-8+%2").arg(k * 0x111111, 6, 16, QLatin1Char('0')).arg(k);
        QTest::newRow("eightPaletteBits") << "" << many << true << "";
        QTest::newRow("titleWithCharactersXmlForbids")
            << QString::fromUtf16(u"--title T<&\x01\x0b\uFFFE\nZ") << "x|d00000|x" << true
            << QString::fromUtf16(u"T<&\uFFFD\uFFFD\uFFFD Z");
        QTest::newRow("titleWiderThanPicture")
            << "--size 200x150 --title Supercalifragilisticexpialidocious_again_and_again"
            << "x|d00000|x" << true << QString::fromUtf16(u"Supercali…");
        QTest::newRow("axesLegendTitleThinnedGrid")
            << "--axes --legend --title Three"
            << "x|*d00000|sin(x) x|*0000d0|x^2/10 y|008000|y^2/4-3" << false << "Three|-5|5";
        QTest::newRow("axesLegendGridOfPiAxesInside")
            << "--axes --legend --size 640x400 --bounds -2*pi() 2*pi() -3 3 --grid pi()/2 0.5"
            << "x|008000|tan(x) x|c000c0|atan2(x,1)" << false << "";
        QTest::newRow("axesLegendNoGridAxesOutsideOnEdges")
            << "--axes --legend --size 600x400 --bounds 2 9 3 7 --no-grid"
            << "x|d00000|sin(x)+5" << false << "";
        QTest::newRow("axesLegendTinyGridFarFromZeroAntialiased")
            << "--axes --legend --size 300x300 --bounds 1000 1001 -0.001 0.001 --grid 0.01 1E-4 "
               "--antialias"
            << "x|0000d0|(x-1000.5)/500" << false << "";
        QTest::newRow("axesNameTheMultipleNotTheSum")
            << "--axes --size 400x300 --bounds 4.999 5.001 -1 1 --grid 0.0001 1"
            << "x|d00000|x-5" << false << "4.9995|5|5.0005";
        QTest::newRow("axesBothEndsOfSymmetricRange")
            << "--axes --size 400x300 --bounds -1E7 1E7 -1E7 1E7"
            << "x|d00000|x" << false << "-5e+06|5e+06";
        QTest::newRow("axesGridLinesOnEdgesOnly")
            << "--axes --size 300x200 --bounds -2 2 -2 2 --grid 2 2"
            << "x|d00000|x" << false << "2|-2";
    }

    // The PNG and the SVG are as large as asked; the SVG passes xmllint and
    // strokes, besides grid and axes, exactly the enabled functions in their
    // colours. --axes numbers sit on the lines they name and keep apart;
    // --legend names each function in its colour.
    void pictures()
    {
        QFETCH(QString, options);
        QFETCH(QString, functions);
        QFETCH(bool, unbroken);
        QFETCH(QString, texts);
        const QStringList opts = options.split(' ', Qt::SkipEmptyParts);
        const bool viaSet = functions.contains('!');
        const QStringList args = opts +
                                 functionArgs(functions, viaSet ? path("pic.tvs") : QString()) +
                                 QStringList{"-o", path("pic.svg")};
        GraphWidget g;
        RenderOptions o;
        setUp(g, o, args);
        const std::optional<QByteArray> svgBytes = drawPicture(g, o);
        o.format = RenderOptions::Png;
        const std::optional<QByteArray> pngBytes = drawPicture(g, o);
        QVERIFY(svgBytes && pngBytes);
        QFile svgFile(path("pic.svg"));
        QVERIFY(svgFile.open(QIODevice::WriteOnly) && svgFile.write(*svgBytes) > 0);
        svgFile.close();
        QCOMPARE(QProcess::execute("xmllint", {"--noout", path("pic.svg")}), 0);
        const QImage png = QImage::fromData(*pngBytes).convertToFormat(QImage::Format_RGB32);
        const Svg svg = readSvg(*svgBytes);
        QCOMPARE(svg.size, QStringLiteral("0 0 %1 %2 %1px %2px").arg(g.width()).arg(g.height()));

        // Undecorated, the PNG is the widget's picture: the main window's, at
        // its size and standard bounds (it writes typed bounds back rounded).
        const bool decorated = opts.contains(QStringLiteral("--axes"));
        Tavlo main;
        GraphWidget &shown =
            opts.contains("--size") || opts.contains("--bounds") ? g : *main.getGraph();
        if (&shown == &g) {
            g.drawGraph();
        } else {
            addFunctions(shown, functions);
            main.fBoxMake();
            QVERIFY(QMetaObject::invokeMethod(&main, "functionChange", Q_ARG(int, 1)));
            shown.drawGraph();
        }
        QVERIFY(decorated || opts.contains("--title") ||
                png == shown.picture().convertToFormat(QImage::Format_RGB32));

        QSet<QRgb> colors;
        for (int i = 0; i < png.width() * png.height(); ++i)
            colors << png.pixel(i % png.width(), i / png.width());
        QCOMPARE(colors.size() > 64, opts.contains(QStringLiteral("--antialias")));
        // A palette of as few bits a pixel as the colours need.
        const int bits = pngBytes->at(24);
        QVERIFY((1 << bits) >= qMin(colors.size(), 256) &&
                (bits == 1 || 1 << bits / 2 < colors.size()));
        QSet<QString> stroked, named;
        if (g.getXMin() * g.getXMax() <= 0 || g.getYMin() * g.getYMax() <= 0)
            stroked << QStringLiteral("#8c8c8c");
        if (g.getGridEnabled())
            stroked << QStringLiteral("#dcdcdc");
        GraphWidget scratch;
        for (const Function *f : addFunctions(scratch, functions)) {
            // Two equally blank pictures would prove nothing: every enabled curve shows.
            QCOMPARE(colors.contains(f->getColor().rgb()), f->getEnabled());
            if (f->getEnabled()) {
                stroked << f->getColor().name();
                if (opts.contains(QStringLiteral("--legend")))
                    named << f->getString() + '|' + f->getColor().name();
            }
            if (unbroken && f->getEnabled()) {
                QCOMPARE(svg.lines.value(f->getColor().name()), 1);
                QCOMPARE(svg.polylines.value(f->getColor().name()), 1);
            }
        }
        QCOMPARE(QSet<QString>(svg.lines.keyBegin(), svg.lines.keyEnd()), stroked);

        // The decorations as laid out: texts apart and inside the picture,
        // each number reaching the grid line it names (or without a grid the
        // pixel of its value), the legend naming each function in its colour.
        QSet<QString> legend;
        int xNumbers = 0, yNumbers = 0;
        const QList<PlacedText> placed = layOutDecorations(g, o).texts;
        for (int i = 0; i < placed.size(); ++i) {
            const PlacedText &t = placed[i];
            for (int j = 0; j < i; ++j)
                QVERIFY2(!t.box.intersects(placed[j].box),
                         qPrintable(t.text + " " + placed[j].text));
            QVERIFY(t.box.left() >= 0 && t.box.right() <= g.width());
            if (t.color != QColor(80, 80, 80)) {
                if (!t.font.bold())
                    legend << t.text + '|' + t.color.name();
                continue;
            }
            bool ok = false;
            const float v = t.text.toFloat(&ok);
            QVERIFY2(ok, qPrintable(t.text));
            const auto reaches = [&t](float c, double lo, double hi) {
                return lo - 1.5 <= c && c <= hi + 1.5;
            };
            const float column = (v - g.getXMin()) / g.getXUnitsPerPixel();
            const float row = g.getPixYMax() - (v - g.getYMin()) / g.getYUnitsPerPixel();
            if (t.align == Qt::AlignHCenter) { // along the x axis or edge
                ++xNumbers;
                QVERIFY2(g.getGridEnabled()
                             ? std::any_of(
                                   svg.gridColumns.begin(), svg.gridColumns.end(),
                                   [&](int c) { return reaches(c, t.box.left(), t.box.right()); })
                             : reaches(column, t.box.left(), t.box.right()),
                         qPrintable(t.text));
            } else {
                ++yNumbers;
                QVERIFY2(reaches(row, t.box.top(), t.box.bottom()), qPrintable(t.text));
            }
        }
        QCOMPARE(legend, named);
        QVERIFY(!decorated || (xNumbers >= 2 && yNumbers >= 2));
        // What the SVG says: the title as it must show ("…": cut short), numbers.
        for (const QString &n : texts.split('|', Qt::SkipEmptyParts))
            QVERIFY2(
                svg.texts.contains(n) ||
                    (n.endsWith(u'…') &&
                     !svg.texts.filter(QRegularExpression("^" + n.chopped(1) + ".*…$")).isEmpty()),
                qPrintable(svg.texts.join(' ')));
    }

    void svgEngine_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("written"); // empty: the document fails
        QTest::newRow("transformMapped") << 0 << QByteArray("M10 20 L10 25");
        QTest::newRow("imageEmbedded")
            << 1
            << QByteArray("<image x=\"2\" y=\"3\" width=\"4\" height=\"4\" "
                          "preserveAspectRatio=\"none\" href=\"data:image/png;base64,iVBOR");
        QTest::newRow("clipRefused") << 2 << QByteArray();
    }

    // What the engine does not declare, the painter emulates or refuses.
    void svgEngine()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, written);
        SvgWriter svg(QSize(40, 30), true);
        QPainter p(&svg);
        p.translate(10, 20);
        if (kind == 2)
            p.setClipRect(0, 0, 5, 5);
        if (kind == 1)
            p.drawImage(QPoint(-8, -17), QImage(4, 4, QImage::Format_RGB32));
        else
            p.drawLine(0, 0, 0, 5);
        p.end();
        const std::optional<QByteArray> document = svg.finish();
        QCOMPARE(document.has_value(), !written.isEmpty());
        QVERIFY2(!document || document->contains(written), document->constData());
    }

    // --table gives exactly the engine's doubles, at evenly spaced values from
    // bound to bound (0 is the middle row), for each enabled function.
    void table()
    {
        const int rows = 1001;
        GraphWidget g;
        RenderOptions o;
        setUp(g, o,
              QStringList{"--bounds", "-1", "1", "-pi()/pi()", "1", "--table", "1001"} +
                  functionArgs("x|d00000|ln(x) y|0000d0|1/y x|008000|f(0)*2+atan2(x,1) !x|000000|x",
                               path("table.tvs")));
        QByteArray out;
        QVERIFY(writeTable(g, rows, [&out](const QByteArray &b) {
                    out += b;
                    return RenderStatus();
                }).ok());
        QList<Function *> drawn;
        for (Function *f = g.getFunctions(); f; f = f->getNextFunction())
            drawn << f;
        drawn.removeIf([](const Function *f) { return !f->getEnabled(); });
        const QList<QByteArray> lines = out.split('\n');
        QCOMPARE(lines.size(), rows + 2); // header, rows, the empty rest after the last break
        QCOMPARE(lines[0], "x,y,ln(x),1/y,\"f(0)*2+atan2(x,1)\"");
        auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
        for (int i = 1; i <= rows; ++i) {
            QList<double> v;
            for (const QByteArray &field : lines[i].split(','))
                v << field.toDouble();
            QCOMPARE(v.size(), 2 + drawn.size());
            if (i == 1 || i == rows) {
                QVERIFY(same(v[0], i == 1 ? g.getXMin() : g.getXMax()));
                QVERIFY(same(v[1], i == 1 ? g.getYMin() : g.getYMax()));
            }
            for (int k = 0; k < drawn.size(); ++k) {
                const double want =
                    drawn[k]->evaluate(v[drawn[k]->getIndepVariable() == 'x' ? 0 : 1]);
                QVERIFY2(same(v[2 + k], want) || (std::isnan(v[2 + k]) && std::isnan(want)),
                         lines[i].constData());
            }
        }
        QVERIFY(out.contains("\n0,0,-inf,inf,-inf\n") && out.contains(",nan,"));
    }

    void points_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("functions"); // as for pictures; a disabled one needs a set file
        QTest::addColumn<QStringList>("expected"); // "CSV up to x|x|y|tolerance", in order

        const auto row = [](const char *head, double x, double y, double tolerance) {
            return QStringLiteral("%1|%2|%3|%4")
                .arg(QLatin1String(head), formatNumber(x, 17), formatNumber(y, 17))
                .arg(tolerance);
        };
        QStringList sine;
        for (int k = -3; k <= 3; ++k)
            sine << row("root,sin(x),", k * M_PI, 0, 1e-12);
        for (const double k : {-1, 0, 1})
            sine << row("minimum,sin(x),", 2 * k * M_PI - M_PI_2, -1, 1e-8);
        for (const double k : {-1, 0, 1})
            sine << row("maximum,sin(x),", 2 * k * M_PI + M_PI_2, 1, 1e-8);
        QStringList sineAndThird = sine;
        sineAndThird.insert(4, row("root,x/3,", 0, 0, 0));
        for (const double x : {-2.278862660075828, 0.0, 2.278862660075828})
            sineAndThird << row("crossing,sin(x),x/3", x, x / 3, 1e-12);
        QStringList tangent = sine.mid(0, 7);
        tangent.replaceInStrings("sin(x)", "tan(x)");
        const double edge = std::nextafter(M_SQRT2, 0);  // the last x where sqrt(2-x^2) is defined
        const double steep = 1.0464998840978261;         // 500*sin(3*y) = y
        const QString lowered = "--bounds -10 9 -10 10"; // no sample at 0
        // clang-format off
        QTest::newRow("sine") << "" << "x|*|sin(x)" << sine;
        // Its bend is lopsided: a parabola through three points puts the peak 1e-8 off.
        QTest::newRow("dampedWave") << "--bounds 0 3 -2 2" << "x|*|exp(x/3)*sin(x)" << QStringList{row("root,exp(x/3)*sin(x),", 0, 0, 0), row("maximum,exp(x/3)*sin(x),", M_PI - std::atan(3), 1.7827706562056764, 1e-9)};
        QTest::newRow("rootTwo") << "" << "x|*|x^2-2" << QStringList{row("root,x^2-2,", -M_SQRT2, 0, 1.5e-15), row("root,x^2-2,", M_SQRT2, 0, 1.5e-15), row("minimum,x^2-2,", 0, -2, 1e-8)};
        QTest::newRow("sineAndThird") << "" << "x|*|sin(x) x|*|x/3" << sineAndThird;
        QTest::newRow("tangentNoRootAtPoles") << "" << "x|*|tan(x)" << tangent;
        QTest::newRow("mixedLines") << "" << "x|*|x y|*|2-y" << QStringList{row("root,x,", 0, 0, 0), row("root,2-y,", 0, 2, 0), row("crossing,x,2-y", 1, 1, 0)};
        // The constant 0 has no isolated roots; the pair touches.
        QTest::newRow("touchingPair") << lowered << "x|*|x^2 x|*|0" << QStringList{row("root,x^2,", 0, 0, 1e-12), row("minimum,x^2,", 0, 0, 1e-12), row("crossing,x^2,0", 0, 0, 1e-12)};
        QTest::newRow("nearMiss") << lowered << "x|*|x^2+1E-3" << QStringList{row("minimum,x^2+1E-3,", 0, 1e-3, 1e-12)};
        QTest::newRow("domainEnds") << "" << "x|*|sqrt(2-x^2)" << QStringList{row("root,sqrt(2-x^2),", -edge, 0, 0), row("root,sqrt(2-x^2),", edge, 0, 0), row("maximum,sqrt(2-x^2),", 0, M_SQRT2, 1e-15)};
        QTest::newRow("polesAndJumpsNoRoots") << lowered << "x|*|1/x x|*|x/abs(x) x|*|atan2(0,x)-1" << QStringList{row("crossing,1/x,x/abs(x)", -1, -1, 0), row("crossing,1/x,x/abs(x)", 1, 1, 0)};
        QTest::newRow("functionOfYQuotedDisabledSkipped") << "" << "y|*|y^2-3 !x|*|x+1 x|*|atan2(x,1)" << QStringList{row("root,y^2-3,", 0, -std::sqrt(3), 2e-15), row("root,\"atan2(x,1)\",", 0, 0, 0), row("root,y^2-3,", 0, std::sqrt(3), 2e-15), row("minimum,y^2-3,", -3, 0, 1e-8), row("crossing,y^2-3,\"atan2(x,1)\"", -1.845863138483156, -1.0743076195935892, 1e-15)};
        // Along x, sin(3*500*x) turns twice a pixel and hides the outer crossings.
        QTest::newRow("steepAgainstWavy") << "--bounds -1 1 -1.5 1.5" << "x|*|500*x y|*|sin(3*y)" << QStringList{row("root,sin(3*y),", 0, -M_PI / 3, 1e-15), row("root,500*x,", 0, 0, 0), row("root,sin(3*y),", 0, 0, 0), row("root,sin(3*y),", 0, M_PI / 3, 1e-15), row("minimum,sin(3*y),", -1, -M_PI / 6, 1e-8), row("maximum,sin(3*y),", 1, M_PI / 6, 1e-8), row("crossing,500*x,sin(3*y)", -steep / 500, -steep, 1e-12), row("crossing,500*x,sin(3*y)", 0, 0, 0), row("crossing,500*x,sin(3*y)", steep / 500, steep, 1e-12)};
        // clang-format on
    }

    // --points lists every root, extremum and crossing inside the bounds, in
    // order, to the last bits; never a pole, a jump or an undefined point.
    void points()
    {
        QFETCH(QString, options);
        QFETCH(QString, functions);
        QFETCH(QStringList, expected);
        GraphWidget g;
        RenderOptions o;
        setUp(
            g, o,
            QStringList{"--points"} + options.split(' ', Qt::SkipEmptyParts) +
                functionArgs(functions, functions.contains('!') ? path("points.tvs") : QString()));
        QByteArray out;
        QVERIFY(writePoints(g, [&out](const QByteArray &b) {
                    out += b;
                    return RenderStatus();
                }).ok());
        QList<QByteArray> lines = out.split('\n');
        QCOMPARE(lines.takeFirst(), "kind,function,other,x,y");
        QCOMPARE(lines.takeLast(), "");
        QVERIFY2(lines.size() == expected.size(), out.constData());
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList want = expected[i].split('|');
            const QList<QByteArray> xy = lines[i].mid(want[0].size() + 1).split(',');
            QVERIFY2(lines[i].startsWith(want[0].toUtf8() + ',') && xy.size() == 2 &&
                         std::fabs(xy[0].toDouble() - want[1].toDouble()) <= want[3].toDouble() &&
                         std::fabs(xy[1].toDouble() - want[2].toDouble()) <= want[3].toDouble(),
                     lines[i].constData());
        }
    }

    void run_data()
    {
        QTest::addColumn<QString>("args"); // OUT stands for out.png (OUT.csv: out.csv) in a folder
        QTest::addColumn<int>("code");     // of its own, DIR for the test's folder
        QTest::addColumn<QString>("message"); // its parts, split at '|', on standard error
        QTest::addColumn<int>("oldMode");     // of an output there before the run; -1: none
        QTest::addColumn<int>("mode");        // of the output afterwards; -1: none
        QTest::addColumn<bool>("viaProgram"); // else in process, with the umask 027

        QFile magic(path("magic.tvs"));
        QVERIFY(magic.open(QIODevice::WriteOnly));
        QDataStream(&magic) << qint32(5126) << qint32(1) << qint32(-1);
        writeSet(path("short.tvs"), "x|d00000|sin(x) y|0000d0|y", 10);
        writeSet(path("badfn.tvs"), "x|d00000|x x|0000d0|sin(x");

        const QString table = QStringLiteral("--table 3 --y x -o OUT.csv");
        QTest::newRow("largestSizeStepCapitalPng")
            << "--size 4096x2 --step 10 10 -o OUT.PNG" << 0 << "" << -1 << 0640 << true;
        QTest::newRow("fontsWithoutDisplay") << "--title T -o OUT" << 0 << "" << -1 << 0640 << true;
        QTest::newRow("unknownOption")
            << "--frobnicate -o OUT" << 1 << "unknown option '--frobnicate'|usage:" << -1 << -1
            << true;
        // The engine's message, the character and a caret under it.
        QTest::newRow("unmatchedParen_char5")
            << "--y sin(x -o OUT" << 2
            << "--y 'sin(x': unmatched parentheses at character 5\n  sin(x\n      ^\n"
            << -1 << -1 << false;
        QTest::newRow("boundsAsTheFieldsReadThem")
            << "--bounds -2*pi 2*pi -1e-3 1e-3 -o OUT" << 0 << "" << -1 << 0640 << false;
        QTest::newRow("boundDoesNotCompile_char3")
            << "--bounds 1 2*( -1 1 -o OUT" << 2
            << "XMAX '2*(': unmatched parentheses at character 3" << -1 << -1 << false;
        QTest::newRow("lowerCaseExponent_hint")
            << "--y 1e-3*x -o OUT" << 2 << "undeclared parameter at character 2 (write 1E-3)" << -1
            << -1 << false;
        QTest::newRow("gridOfZero")
            << "--grid 0 1 -o OUT" << 2 << "a spacing must be greater than 0" << -1 << -1 << false;
        QTest::newRow("repeatedOutput")
            << "--y x -o OUT -o OUT.svg" << 1 << "only one output" << -1 << -1 << false;
        QTest::newRow("setMissing")
            << "--set DIR/none.tvs -o OUT" << 3 << "cannot read set file" << -1 << -1 << false;
        QTest::newRow("setBadMagic") << "--set DIR/magic.tvs -o OUT" << 3
                                     << "is not a Tavlo function set" << -1 << -1 << false;
        QTest::newRow("setCutShort")
            << "--set DIR/short.tvs -o OUT" << 3 << "is damaged" << -1 << -1 << false;
        QTest::newRow("setWithBadFunction")
            << "--set DIR/badfn.tvs -o OUT" << 2
            << "function 1 of set|unmatched parentheses at character 5" << -1 << -1 << false;
        QTest::newRow("outputFolderMissing")
            << "--y x -o DIR/no/out.png" << 4 << "cannot write|No such file or directory" << -1
            << -1 << false;
        QTest::newRow("outputIsTheSetFile")
            << table + " --set OUT.csv" << 1 << "is the set file" << 0644 << 0644 << false;
        QTest::newRow("existingKeepsMode") << table << 0 << "" << 0600 << 0600 << false;
        QTest::newRow("symlinkWrittenThrough") << table << 0 << "" << 0604 << 0604 << false;
        QTest::newRow("nameOf255Bytes") << table << 0 << "" << -1 << 0640 << false;
        QTest::newRow("readOnlyRefusedUntouched")
            << table << 4 << "Permission denied" << 0444 << 0444 << true;
        QTest::newRow("fullDiskOldFileIntact")
            << "--table 100000 --y x -o OUT.csv" << 4 << "No space left on device" << 0644 << 0644
            << false;
        QTest::newRow("fullStandardOutput")
            << "--table 3 --y x" << 4 << "standard output: No space left on device" << -1 << -1
            << true;
        // --points stops where pictures stop, and takes their options without effect.
        QTest::newRow("pointsWithTable")
            << "--points --table 3 --y x" << 1 << "--points and --table both write CSV" << -1 << -1
            << false;
        QTest::newRow("pointsToPng")
            << "--points --y x -o OUT" << 1 << "--points writes CSV" << -1 << -1 << false;
        QTest::newRow("pointsUnmatchedParen_char5")
            << "--points --y sin(x" << 2 << "--y 'sin(x': unmatched parentheses at character 5"
            << -1 << -1 << true;
        QTest::newRow("pointsEqualBounds") << "--points --bounds 1 1 -1 1 --y x" << 2
                                           << "XMIN and XMAX are both 1" << -1 << -1 << false;
        QTest::newRow("pointsSetCutShort")
            << "--points --set DIR/short.tvs" << 3 << "is damaged" << -1 << -1 << false;
        QTest::newRow("pointsPictureOptionsIgnored")
            << "--points -o OUT.csv --axes --legend --title T --size 9x9 --y x" << 0 << "" << -1
            << 0640 << true;
        QTest::newRow("signalLeavesNothing")
            << "--table 1000000 --y sin(x) -o OUT.csv" << -1 << "" << -1 << -1 << true;
    }

    // Bad input stops the tool with its exit status and a message, and writes
    // nothing. Output files are replaced as careful tools replace them: a
    // failure or a signal leaves the old file as it was and no temporary file.
    void run()
    {
        QFETCH(QString, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(int, oldMode);
        QFETCH(int, mode);
        QFETCH(bool, viaProgram);
        const QByteArray tag = QTest::currentDataTag();
        QTemporaryDir d;
        QVERIFY(QFile::setPermissions(d.path(), QFileDevice::Permissions(0x7777)));
        const QByteArray full = QFile::encodeName(d.filePath("full"));
        const bool fill = tag == "fullDiskOldFileIntact";
        if (fill && (!QDir().mkdir(full) || ::mount("tmpfs", full, "tmpfs", 0, "size=16k") != 0))
            QSKIP("no tmpfs to fill (needs root)");
        QStringList argv = args.split(' ');
        QString out = d.filePath(fill ? "full/out.png" : "out.png");
        for (QString &a : argv) {
            if (a.startsWith(QLatin1String("OUT")))
                a = out = out.chopped(4) + (tag.startsWith("name") ? QString(248, 'n') : "") +
                          (a == "OUT" ? ".png" : a.mid(3));
            else if (a.startsWith(QLatin1String("DIR")))
                a = dir.path() + a.mid(3);
        }
        const QString real = tag.startsWith("symlink") ? d.filePath("real.csv") : out;
        const auto contents = [&real] {
            QFile f(real);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        if (tag == "outputIsTheSetFile") {
            writeSet(out, "x|d00000|x");
        } else if (oldMode >= 0) {
            QFile f(real);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old\n") == 4);
        }
        QVERIFY(oldMode < 0 || ::chmod(QFile::encodeName(real).constData(), mode_t(oldMode)) == 0);
        QVERIFY(real == out || QFile::link("real.csv", out));
        const QByteArray before = contents();
        const mode_t mask = umask(027);
        Run r;
        if (tag == "signalLeavesNothing") {
            QProcess p;
            p.start(QString::fromUtf8(TAVLO_RENDER), argv);
            const auto temporaries = [&d] {
                return QDir(d.path()).entryList({".tavlo-render-*"}, QDir::Hidden | QDir::Files);
            };
            QTRY_VERIFY_WITH_TIMEOUT(!temporaries().isEmpty(), 20000);
            ::kill(pid_t(p.processId()), SIGTERM);
            QVERIFY(p.waitForFinished(20000) && p.exitStatus() == QProcess::CrashExit);
        } else {
            r = viaProgram ? program(argv, tag.startsWith("readOnly"),
                                     tag.startsWith("fullStandard") ? "/dev/full" : "")
                           : inProcess(argv);
        }
        umask(mask);
        const QStringList left =
            QDir(QFileInfo(real).path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        const QByteArray after = contents();
        struct stat st = {};
        const bool present = ::stat(QFile::encodeName(real).constData(), &st) == 0;
        if (fill)
            QVERIFY(::umount(full) == 0);
        QCOMPARE(r.code, code);
        for (const QString &part : message.split('|'))
            QVERIFY2(r.err.contains(part), qPrintable(r.err));
        QVERIFY2(left.filter(".tavlo-render-").isEmpty(), qPrintable(left.join(' ')));
        QCOMPARE(present ? int(st.st_mode & 07777) : -1, mode);
        QVERIFY(code == 0 ? after != before : after == before);
        QVERIFY(!args.endsWith("-o OUT.csv") || code || after == "x,x\n-10,-10\n0,0\n10,10\n");
        QVERIFY(real == out || QFileInfo(out).isSymLink());
    }

    void commaLocale_data()
    {
        QTest::addColumn<QString>("bounds");
        QTest::addColumn<QString>("shown");     // as the window's fields show them
        QTest::addColumn<QString>("functions"); // and the finder's answer at the centre
        QTest::addColumn<QString>("answer");
        QTest::newRow("fractions") << "-0.5 2.5 -0.25 1.25"
                                   << "-0.5 2.5 -0.25 1.25"
                                   << "--y x/2 --y 1.5-x"
                                   << "Crossing of x/2 and 1.5-x at (1, 0.5).";
        QTest::newRow("exponents") << "-1e-3 1e-3 -1E7 1E7"
                                   << "-0.001 0.001 -1e+07 1e+07"
                                   << "--y 0 --y 1E6"
                                   << "No crossing found near (0, 0).";
    }

    // The whole test runs under a locale that writes 0,5 (initTestCase), so
    // the CSV (table) and the axis numbers (pictures) are read there with a
    // point; here the bound texts, typed and shown with a point, and the
    // intersection finder's answer.
    void commaLocale()
    {
        QFETCH(QString, bounds);
        QFETCH(QString, shown);
        QFETCH(QString, functions);
        QFETCH(QString, answer);
        QCOMPARE(*std::localeconv()->decimal_point, ',');
        GraphWidget g;
        RenderOptions o;
        setUp(g, o,
              QStringList{"--bounds"} + bounds.split(' ') + functions.split(' ') +
                  QStringList{"--table", "3"});
        QStringList texts;
        for (auto signal : {&GraphWidget::x_min_changed, &GraphWidget::x_max_changed,
                            &GraphWidget::y_min_changed, &GraphWidget::y_max_changed})
            connect(&g, signal, this, [&texts](const QString &t) { texts << t; });
        g.showBounds();
        QCOMPARE(texts.join(' '), shown);
        g.drawGraph();
        g.findIntersectionNear((g.getXMin() + g.getXMax()) / 2, (g.getYMin() + g.getYMax()) / 2);
        QVERIFY2(g.accessibleDescription().endsWith(answer), qPrintable(g.accessibleDescription()));
    }

private:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
};

QTEST_MAIN(tst_Render)
#include "tst_render.moc"
