#pragma once

#include "renderoptions.h"

#include <QString>

class GraphWidget;

struct RenderStatus
{
    ExitCode code = ExitOk;
    QString message; // for standard error; ends with a line break when not empty
};

// Gives the plot widget the command line's window and functions, the way the
// window's fields and dialogs would, but refuses what the window would quietly
// take as 0 or leave undrawn: texts that do not compile, unusable bounds,
// unreadable set files.
RenderStatus setUpGraph(GraphWidget &graph, const RenderOptions &options);

// Draws the widget's picture with its own drawing code, adds the decorations
// asked for, and writes it as PNG or SVG. The file is replaced only once it is
// completely written.
RenderStatus writePicture(GraphWidget &graph, const RenderOptions &options);

// The CSV table of --table: for each drawn function, the engine's values at
// evenly spaced values of its variable over the graph's bounds. Numbers have
// 17 significant digits, so they read back as the very doubles.
RenderStatus writeTable(GraphWidget &graph, const RenderOptions &options);

// The text with a caret line under the character at offset (0-based), indented
// by two spaces; just the text when offset is negative.
QString pointAt(const QString &text, int offset);
