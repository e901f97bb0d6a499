#include "pngwriter.h"

#include <QImage>

#include <array>
#include <vector>

namespace {

// The CRC-32 of PNG chunks (the polynomial of ISO 3309).
quint32 crc32(const char *data, qsizetype size, quint32 crc = 0)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xff] ^ (crc >> 8);
    return ~crc;
}

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
    putWord(out, crc32(out.constData() + start, out.size() - start));
}

} // namespace

std::optional<QByteArray> palettePng(const QImage &source)
{
    const QImage image =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
            ? source
            : source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0)
        return std::nullopt;

    // Each pixel's index into the palette. A plot is long runs of one colour,
    // so the last colour seen answers nearly every pixel.
    std::vector<QRgb> palette;
    std::vector<quint8> indices(size_t(w) * size_t(h));
    QRgb last = ~image.pixel(0, 0);
    quint8 lastIndex = 0;
    for (int y = 0; y < h; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        quint8 *to = indices.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const QRgb c = row[x] | 0xff000000u;
            if (c != last) {
                size_t i = 0;
                while (i < palette.size() && palette[i] != c)
                    ++i;
                if (i == palette.size()) {
                    if (i == 256)
                        return std::nullopt;
                    palette.push_back(c);
                }
                last = c;
                lastIndex = quint8(i);
            }
            to[x] = lastIndex;
        }
    }

    const int depth = palette.size() <= 2    ? 1
                      : palette.size() <= 4  ? 2
                      : palette.size() <= 16 ? 4
                                             : 8;
    const int perByte = 8 / depth;
    const int rowBytes = 1 + (w + perByte - 1) / perByte; // with the filter byte "none"
    QByteArray raw(qsizetype(rowBytes) * h, '\0');
    for (int y = 0; y < h; ++y) {
        const quint8 *from = indices.data() + size_t(y) * size_t(w);
        quint8 *to = reinterpret_cast<quint8 *>(raw.data()) + size_t(y) * size_t(rowBytes) + 1;
        for (int x = 0; x < w; ++x)
            to[x / perByte] |= quint8(from[x] << (8 - depth - (x % perByte) * depth));
    }

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    putWord(header, quint32(w));
    putWord(header, quint32(h));
    header.append(char(depth)).append(char(3)).append(3, '\0'); // palette colour, no interlace
    chunk(png, "IHDR", header);
    QByteArray colors;
    for (QRgb c : palette)
        colors.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    chunk(png, "PLTE", colors);
    // qCompress gives a zlib stream after its own 4-byte length. Level 1: the
    // runs of a plot compress well at any level, and higher ones only cost time.
    chunk(png, "IDAT", qCompress(raw, 1).mid(4));
    chunk(png, "IEND", QByteArray());
    return png;
}
