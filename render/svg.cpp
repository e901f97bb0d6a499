#include "svg.h"

#include "decorations.h"

#include <QBuffer>
#include <QFontInfo>
#include <QImage>
#include <QPaintEngine>
#include <QPixmap>
#include <QPolygonF>
#include <QTransform>
#include <QPainterPath>
#include <QPen>

#include <charconv>
#include <climits>
#include <cmath>
#include <optional>

namespace {

// The font's family as the SVG names it, with a generic fall-back.
QString svgFontFamily(const QFont &font)
{
    return QFontInfo(font).family() + QStringLiteral(", sans-serif");
}

void append(QByteArray &out, double v)
{
    char text[32];
    const double whole = std::round(v);
    std::to_chars_result r;
    if (whole == v && std::fabs(v) < 1e15)
        r = std::to_chars(text, text + sizeof text, (long long)whole);
    else
        r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 2);
    out.append(text, int(r.ptr - text));
}

void append(QByteArray &out, int v)
{
    char text[16];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, v);
    out.append(text, int(r.ptr - text));
}

QByteArray colorText(const QColor &c)
{
    return c.name(QColor::HexRgb).toLatin1();
}

// Text as XML 1.0 takes it, in UTF-8: the markup characters escaped, and
// what XML forbids (control characters other than tab, line feed and carriage
// return, lone surrogates, U+FFFE, U+FFFF) replaced by U+FFFD, so that every
// reader accepts the document whatever a title or a set file holds.
QByteArray escaped(const QString &text)
{
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            safe += c;
            safe += text[++i];
        } else if ((u < 0x20 && u != 0x9 && u != 0xA && u != 0xD) || c.isSurrogate() ||
                   u == 0xFFFE || u == 0xFFFF) {
            safe += QChar::ReplacementCharacter;
        } else {
            safe += c;
        }
    }
    return safe.toHtmlEscaped().toUtf8();
}

} // namespace

class SvgEngine final : public QPaintEngine
{
public:
    SvgEngine(QSize size, bool crisp)
        : QPaintEngine(QPaintEngine::PrimitiveTransform | QPaintEngine::AlphaBlend |
                       QPaintEngine::Antialiasing | QPaintEngine::PainterPaths)
        , w(size.width())
        , h(size.height())
        , crisp(crisp)
    {
        out.reserve(1 << 16);
        out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<svg width=\"";
        append(out, w);
        out += "px\" height=\"";
        append(out, h);
        out += "px\" viewBox=\"0 0 ";
        append(out, w);
        out += ' ';
        append(out, h);
        out += "\" xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
        if (crisp)
            out += " shape-rendering=\"crispEdges\"";
        out += ">\n<title>Tavlo plot</title>\n";
    }

    bool begin(QPaintDevice *) override { return true; }
    bool end() override
    {
        closeGroup();
        return true;
    }
    Type type() const override { return QPaintEngine::User; }

    // Gradients, patterns and opacity are not declared: the painter draws
    // them into an image (drawImage). Clipping has no such fall-back: it makes
    // the document fail.
    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & DirtyTransform)
            transform = state.transform();
        if (state.state() & DirtyPen)
            pen = state.pen();
        if (state.state() & DirtyBrush)
            brush = state.brush();
        if (state.state() & (DirtyClipPath | DirtyClipRegion))
            clipping = state.clipOperation() != Qt::NoClip;
        if (state.state() & DirtyClipEnabled)
            clipping = clipping && state.isClipEnabled();
    }

    // The integer rectangles and points come here as QRectF and QPointF:
    // each is an element of its own either way.
    using QPaintEngine::drawPoints;
    using QPaintEngine::drawRects;
    void drawRects(const QRectF *rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            if (transform.type() > QTransform::TxScale) {
                const QPolygonF corners(rects[i]);
                polygon(corners.constData(), int(corners.size()), OddEvenMode);
                continue;
            }
            if (!openGroup(true))
                return;
            placed("rect", transform.mapRect(rects[i]));
            out += "/>\n";
        }
    }

    template<typename Line>
    void lines(const Line *lines, int count)
    {
        bool started = false;
        for (int i = 0; i < count; ++i) {
            const QPointF a = mapped(lines[i].p1());
            const QPointF b = mapped(lines[i].p2());
            if (beyond(a.x(), b.x(), w) || beyond(a.y(), b.y(), h))
                continue;
            if (!started) {
                if (!openGroup(false))
                    return;
                out += "<path d=\"";
                started = true;
            }
            out += 'M';
            point(a, ' ');
            out += 'L';
            point(b, ' ');
        }
        if (started) {
            out.chop(1);
            out += "\"/>\n";
        }
    }
    void drawLines(const QLine *l, int count) override { lines(l, count); }
    void drawLines(const QLineF *l, int count) override { lines(l, count); }

    template<typename Point>
    void polygon(const Point *points, int count, PolygonDrawMode mode)
    {
        if (count == 0)
            return;
        const bool polyline = mode == PolylineMode;
        bool left = true, right = true, above = true, below = true;
        for (int i = 0; i < count; ++i) {
            const QPointF p = mapped(points[i]);
            left = left && p.x() < -1;
            right = right && p.x() > w + 1;
            above = above && p.y() < -1;
            below = below && p.y() > h + 1;
        }
        if (left || right || above || below || !openGroup(!polyline))
            return;
        if (count == 1) {
            // A polyline of one point shows as a dot under the square cap.
            out += "<path d=\"M";
            point(mapped(points[0]), ' ');
            out += "h0\"/>\n";
            return;
        }
        out += polyline ? "<polyline points=\"" : "<polygon points=\"";
        for (int i = 0; i < count; ++i)
            point(mapped(points[i]), ',');
        out.chop(1);
        out += "\"/>\n";
    }
    void drawPolygon(const QPoint *p, int count, PolygonDrawMode mode) override
    {
        polygon(p, count, mode);
    }
    void drawPolygon(const QPointF *p, int count, PolygonDrawMode mode) override
    {
        polygon(p, count, mode);
    }
    void drawPoints(const QPointF *p, int count) override
    {
        for (int i = 0; i < count; ++i)
            polygon(p + i, 1, PolylineMode);
    }
    void drawPath(const QPainterPath &path) override
    {
        const bool closed = brush.style() != Qt::NoBrush;
        for (const QPolygonF &poly : path.toSubpathPolygons())
            polygon(poly.constData(), int(poly.size()), closed ? OddEvenMode : PolylineMode);
    }
    void drawPixmap(const QRectF &r, const QPixmap &pixmap, const QRectF &source) override
    {
        drawImage(r, pixmap.toImage(), source, Qt::AutoColor);
    }
    void drawImage(const QRectF &target, const QImage &image, const QRectF &source,
                   Qt::ImageConversionFlags) override
    {
        if (!drawable())
            return;
        closeGroup();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.copy(source.toAlignedRect()).save(&buffer, "PNG");
        // The painter has placed it: the engine declares no pixmap transforms.
        placed("image", target);
        out += " preserveAspectRatio=\"none\" href=\"data:image/png;base64,";
        out += png.toBase64();
        out += "\"/>\n";
    }

    void text(const PlacedText &t)
    {
        closeGroup();
        out += "<text x=\"";
        append(out, t.anchor.x());
        out += "\" y=\"";
        append(out, t.anchor.y());
        out += '"';
        if (t.align == Qt::AlignHCenter)
            out += " text-anchor=\"middle\"";
        else if (t.align == Qt::AlignRight)
            out += " text-anchor=\"end\"";
        out += " fill=\"" + colorText(t.color) + "\" font-family=\"" +
               escaped(svgFontFamily(t.font)) + "\" font-size=\"";
        append(out, t.font.pixelSize());
        out += '"';
        if (t.font.bold())
            out += " font-weight=\"bold\"";
        out += " xml:space=\"preserve\">" + escaped(t.text) + "</text>\n";
    }

    std::optional<QByteArray> finish()
    {
        closeGroup();
        out += "</svg>\n";
        if (unsupported)
            return std::nullopt;
        return std::move(out);
    }

private:
    // The start of an element with its place: <name x=".." y=".." width=".." height=".."
    void placed(const char *name, const QRectF &r)
    {
        out += '<';
        out += name;
        out += " x=\"";
        append(out, r.x());
        out += "\" y=\"";
        append(out, r.y());
        out += "\" width=\"";
        append(out, r.width());
        out += "\" height=\"";
        append(out, r.height());
        out += '"';
    }

    template<typename Point>
    QPointF mapped(const Point &p) const
    {
        return transform.type() == QTransform::TxNone ? QPointF(p) : transform.map(QPointF(p));
    }

    static bool beyond(double a, double b, int size)
    {
        return (a < -1 && b < -1) || (a > size + 1 && b > size + 1);
    }

    template<typename Point>
    void point(const Point &p, char separator)
    {
        append(out, p.x());
        out += separator;
        append(out, p.y());
        out += ' ';
    }

    // Opens a group with the pen (and, for filled shapes, the brush) in force,
    // unless the open one has them; false when the shape would not show.
    // False, and the document failed, when drawing is clipped.
    bool drawable()
    {
        unsupported = unsupported || clipping;
        return !clipping;
    }

    bool openGroup(bool filled)
    {
        if (!drawable())
            return false;
        QByteArray style;
        const bool stroked = pen.style() != Qt::NoPen;
        if (filled && brush.style() != Qt::NoBrush)
            style += "fill=\"" + colorText(brush.color()) + '"';
        else
            style += "fill=\"none\"";
        if (stroked) {
            style += " stroke=\"" + colorText(pen.color()) + '"';
            if (pen.color().alpha() != 255)
                style += " stroke-opacity=\"" + QByteArray::number(pen.color().alphaF()) + '"';
            style += " stroke-width=\"";
            append(style, pen.widthF() > 0 ? pen.widthF() : 1.0);
            style += "\" stroke-linecap=\"square\" stroke-linejoin=\"bevel\"";
            if (pen.style() == Qt::DotLine)
                style += " stroke-dasharray=\"1,2\"";
            else if (pen.style() == Qt::DashLine)
                style += " stroke-dasharray=\"4,2\"";
            // Lines on the pixel centres, as aliased drawing puts them.
            if (crisp)
                style += " transform=\"translate(.5 .5)\"";
        } else {
            style += " stroke=\"none\"";
            if (!filled || brush.style() == Qt::NoBrush)
                return false;
        }
        if (style != groupStyle) {
            closeGroup();
            out += "<g " + style + ">\n";
            groupStyle = style;
        }
        return true;
    }

    void closeGroup()
    {
        if (!groupStyle.isEmpty())
            out += "</g>\n";
        groupStyle.clear();
    }

    const int w;
    const int h;
    const bool crisp;
    QPen pen;
    QBrush brush;
    QTransform transform;
    bool clipping = false;
    bool unsupported = false; // something was drawn that the document cannot show
    QByteArray groupStyle;
    QByteArray out;
};

SvgWriter::SvgWriter(QSize size, bool crisp)
    : size(size)
    , engine(std::make_unique<SvgEngine>(size, crisp))
{}

SvgWriter::~SvgWriter() = default;

QPaintEngine *SvgWriter::paintEngine() const
{
    return engine.get();
}

void SvgWriter::addText(const PlacedText &text)
{
    engine->text(text);
}

std::optional<QByteArray> SvgWriter::finish()
{
    return engine->finish();
}

int SvgWriter::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return size.width();
    case PdmHeight:
        return size.height();
    case PdmWidthMM:
        return qRound(size.width() * 25.4 / 96);
    case PdmHeightMM:
        return qRound(size.height() * 25.4 / 96);
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    }
    return 0;
}
