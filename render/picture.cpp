#include "picture.h"

#include "decorations.h"
#include "options.h"
#include "png.h"
#include "svg.h"
#include "vectorstate.h"

#include "plot/graphwidget.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QThreadPool>

#include <cstdlib>
#include <optional>

#include <sys/mman.h>

namespace {

// The toolkit splits a fill of more than about a hundred spans (the
// background, a line across the picture) over the threads of its global pool,
// unless it draws in one of them already. For ten functions at 1920 x 1080
// that was some 3000 hand-overs between threads: 3 ms of the 28 ms of CPU
// time, and more of waiting on a busy machine. Drawn in a thread of that pool,
// the picture is the same, filled serially.
template<typename Work>
void inPoolThread(Work work)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    pool->start(work);
    pool->waitForDone();
}

// A large picture is thousands of fresh pages of memory, and on a virtual
// machine faulting a page in costs more than drawing on it. Asked for in huge
// pages, the picture takes a handful of faults (bench/README.md). Smaller
// pictures, or a kernel without them, get the toolkit's own buffer.
QImage newPicture(QSize size)
{
    constexpr QImage::Format format = QImage::Format_RGB888;
#ifdef MADV_HUGEPAGE
    constexpr size_t kHugePage = size_t(2) << 20;
    const int stride = (size.width() * 3 + 3) & ~3; // rows start on 32 bits
    const size_t bytes = size_t(stride) * size_t(size.height());
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (bytes >= kHugePage) {
        if (void *pixels = std::aligned_alloc(kHugePage, rounded)) {
            madvise(pixels, rounded, MADV_HUGEPAGE);
            return QImage(static_cast<uchar *>(pixels), size.width(), size.height(), stride, format,
                          std::free, pixels);
        }
    }
#endif
    return QImage(size, format);
}

QByteArray pngPicture(GraphWidget &graph, const RenderOptions &o)
{
    // 24 bits, where the widget's backing picture has 32: the same exact
    // colours, and the toolkit fills them without the AVX2 code that slows the
    // evaluation between the lines (see vectorstate.h): 3 ms less of the 35 ms
    // of ten functions at 1920 x 1080. The redraw fills it all.
    QImage image = newPicture(o.size);
    inPoolThread([&] {
        QPainter p(&image);
        clearUpperVectorHalves();
        graph.paintGraph(p);
        const Decorations d = layOutDecorations(graph, o);
        if (!d.isEmpty()) {
            p.setRenderHint(QPainter::TextAntialiasing, o.antialias);
            drawDecorationShapes(p, d);
            drawDecorationTexts(p, d);
        }
    });
    if (std::optional<QByteArray> png = palettePng(image))
        return *png;
    // Smooth curves and text have more colours than a palette holds.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::optional<QByteArray> svgPicture(GraphWidget &graph, const RenderOptions &o)
{
    SvgWriter svg(o.size, !o.antialias);
    QPainter p(&svg);
    clearUpperVectorHalves();
    graph.paintGraph(p);
    const Decorations d = layOutDecorations(graph, o);
    drawDecorationShapes(p, d);
    p.end();
    for (const PlacedText &t : d.texts)
        svg.addText(t);
    return svg.finish();
}

} // namespace

std::optional<QByteArray> drawPicture(GraphWidget &graph, const RenderOptions &options)
{
    graph.setAntialiased(options.antialias);
    if (options.format == RenderOptions::Png)
        return pngPicture(graph, options);
    return svgPicture(graph, options);
}
