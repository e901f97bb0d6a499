#include "png.h"

#include <QImage>

#include <zlib.h>

namespace {

// Raw (packed and filtered) bytes up to which both strategies are tried.
constexpr qsizetype kSmallPicture = 256 * 1024;

void putWord(QByteArray &out, quint32 v)
{
    const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(bytes, 4);
}

void chunk(QByteArray &out, const char *type, const QByteArray &data)
{
    putWord(out, quint32(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    const auto *bytes = reinterpret_cast<const Bytef *>(out.constData() + start);
    putWord(out, quint32(crc32(crc32(0, nullptr, 0), bytes, uInt(out.size() - start))));
}

// Packs rows of one index a byte (after each row's filter byte) to `depth`
// bits an index, in place: a packed row never reaches into the unread part of
// its own row or of the next one. Returns the packed size.
template<int depth>
qsizetype pack(quint8 *data, int w, int h)
{
    constexpr int perByte = 8 / depth;
    const qsizetype stride = qsizetype(w) + 1;
    const qsizetype packed = 1 + (w + perByte - 1) / perByte;
    for (int y = 0; y < h; ++y) {
        const quint8 *from = data + y * stride + 1;
        quint8 *to = data + y * packed;
        *to++ = 0;
        int x = 0;
        for (; x + perByte <= w; x += perByte) {
            quint8 b = 0;
            for (int k = 0; k < perByte; ++k)
                b = quint8(b << depth | from[x + k]);
            *to++ = b;
        }
        if (x < w) {
            quint8 b = 0;
            for (int k = 0; k < perByte; ++k)
                b = quint8(b << depth | (x + k < w ? from[x + k] : 0));
            *to = b;
        }
    }
    return packed * h;
}

// PNG's Up filter on rows of `stride` bytes, each led by its filter byte: every
// byte less the one above it, last row first. A plot's rows mostly repeat the
// row above, which leaves them all zeros.
void filterUp(quint8 *data, qsizetype size, qsizetype stride)
{
    for (qsizetype row = size - stride; row > 0; row -= stride) {
        quint8 *r = data + row;
        r[0] = 2;
        for (qsizetype i = 1; i < stride; ++i)
            r[i] = quint8(r[i] - r[i - stride]);
    }
}

QByteArray deflated(const QByteArray &raw, int level, int strategy)
{
    z_stream z = {};
    // Memory level 5: blocks of 2048 symbols, which code a plot's runs about
    // as small as the default 16384 do, and a hash table that costs little to
    // clear (bench/README.md).
    if (deflateInit2(&z, level, Z_DEFLATED, 15, 5, strategy) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(raw.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
    z.avail_in = uInt(raw.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return status == Z_STREAM_END ? out : QByteArray();
}

// The zlib stream of the filtered rows. After the Up filter a plot is runs of
// zeros, which Z_RLE codes fastest and, on large pictures, smallest; a small
// one takes the default strategy's matches too when they come out smaller,
// at a cost of well under a millisecond (bench/README.md has the figures).
QByteArray deflated(const QByteArray &raw)
{
    QByteArray best = deflated(raw, 1, Z_RLE);
    if (raw.size() <= kSmallPicture) {
        const QByteArray other = deflated(raw, 6, Z_DEFAULT_STRATEGY);
        if (!other.isEmpty() && (best.isEmpty() || other.size() < best.size()))
            best = other;
    }
    return best;
}

} // namespace

std::optional<QByteArray> palettePng(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0)
        return std::nullopt;
    auto pixel = [](const uchar *row, int x) -> QRgb {
        const uchar *p = row + 3 * x;
        return QRgb(p[0]) << 16 | QRgb(p[1]) << 8 | p[2];
    };

    // One palette index a byte, each row led by its filter byte (0: none). A
    // plot is long runs of one colour, so the last colour seen answers nearly
    // every pixel.
    const qsizetype stride = qsizetype(w) + 1;
    QByteArray raw(stride * h, Qt::Uninitialized);
    quint8 *data = reinterpret_cast<quint8 *>(raw.data());
    QRgb palette[256];
    int colors = 0;
    QRgb last = ~pixel(image.constScanLine(0), 0);
    quint8 lastIndex = 0;
    for (int y = 0; y < h; ++y) {
        const uchar *row = image.constScanLine(y);
        quint8 *to = data + y * stride;
        *to++ = 0;
        for (int x = 0; x < w; ++x) {
            const QRgb c = pixel(row, x);
            if (c != last) {
                int i = 0;
                while (i < colors && palette[i] != c)
                    ++i;
                if (i == colors) {
                    if (colors == 256)
                        return std::nullopt;
                    palette[colors++] = c;
                }
                last = c;
                lastIndex = quint8(i);
            }
            to[x] = lastIndex;
        }
    }

    const int depth = colors <= 2 ? 1 : colors <= 4 ? 2 : colors <= 16 ? 4 : 8;
    switch (depth) {
    case 1:
        raw.truncate(pack<1>(data, w, h));
        break;
    case 2:
        raw.truncate(pack<2>(data, w, h));
        break;
    case 4:
        raw.truncate(pack<4>(data, w, h));
        break;
    }
    filterUp(data, raw.size(), raw.size() / h);
    const QByteArray idat = deflated(raw);
    if (idat.isEmpty())
        return std::nullopt;

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    putWord(header, quint32(w));
    putWord(header, quint32(h));
    header.append(char(depth)).append(char(3)).append(3, '\0'); // palette colour, no interlace
    chunk(png, "IHDR", header);
    QByteArray rgb;
    for (int i = 0; i < colors; ++i)
        rgb.append(char(qRed(palette[i])))
            .append(char(qGreen(palette[i])))
            .append(char(qBlue(palette[i])));
    chunk(png, "PLTE", rgb);
    chunk(png, "IDAT", idat);
    chunk(png, "IEND", QByteArray());
    return png;
}
