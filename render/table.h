#pragma once

#include "status.h"

#include <QByteArray>
#include <QString>

#include <functional>

class GraphWidget;

// Takes the next piece of the output; a failure stops the writer.
using ChunkWriter = std::function<RenderStatus(const QByteArray &)>;

// The CSV table of --table: for each drawn function, the engine's values at
// `rows` evenly spaced values of its variable over the graph's bounds, the
// last row at the upper bound exactly. Numbers have 17 significant digits in
// the C locale, so they read back as the very doubles. Written in pieces of
// about a megabyte: a table of a million rows need not be held whole.
RenderStatus writeTable(const GraphWidget &graph, int rows, const ChunkWriter &write);

// A CSV field, quoted when it holds a comma, a quote or a line break (a
// function text such as atan2(y,x)).
QString csvField(const QString &text);
