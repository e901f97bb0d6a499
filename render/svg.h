#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QSize>

#include <memory>
#include <optional>

struct PlacedText;
class SvgEngine;

// A paint device that writes what is painted on it as a compact SVG document:
// fills as rect elements, each call's lines as one path, each polyline as a
// polyline, in groups that share a pen. Lines lying wholly beyond one edge of
// the picture are left out. Width and height are given in pixels, so the SVG
// shows at the size of the PNG of the same plot.
//
// Written for the plot's few kinds of drawing (QSvgGenerator's general writer
// took 45 ms of a 1920 x 1080 plot's 70 ms). Its engine declares only what it
// writes as such (pens, solid brushes, their opacity, transforms, curves as
// polygons); the painter emulates the rest, through images where it must.
// Clipped drawing it cannot write: the document then fails.
class SvgWriter final : public QPaintDevice
{
public:
    // crisp: aliased drawing, lines on pixel centres as on the PNG.
    SvgWriter(QSize size, bool crisp);
    ~SvgWriter() override;
    SvgWriter(const SvgWriter &) = delete;
    SvgWriter &operator=(const SvgWriter &) = delete;

    QPaintEngine *paintEngine() const override;
    // A text element, selectable and sharp at any zoom; outside any painter.
    void addText(const PlacedText &text);
    // The whole document, or nothing when it could not show what was drawn;
    // nothing more can be drawn afterwards.
    std::optional<QByteArray> finish();

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSize size;
    std::unique_ptr<SvgEngine> engine;
};
