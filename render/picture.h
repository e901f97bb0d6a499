#pragma once

#include <QByteArray>

#include <optional>

class GraphWidget;
struct RenderOptions;

// The graph's picture with the decorations asked for, drawn with the widget's
// own drawing code and encoded as the options' format (PNG or SVG); nothing
// when the format cannot show what was drawn.
std::optional<QByteArray> drawPicture(GraphWidget &graph, const RenderOptions &options);
