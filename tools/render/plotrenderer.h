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

// Draws the widget's picture with its own drawing code and writes it as PNG or
// SVG. The file is replaced only once it is completely written.
RenderStatus writePicture(GraphWidget &graph, const RenderOptions &options);

// The text with a caret line under the character at offset (0-based), indented
// by two spaces; just the text when offset is negative.
QString pointAt(const QString &text, int offset);
